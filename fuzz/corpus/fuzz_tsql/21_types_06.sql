create table t (i int)
insert into t values (65536)


declare @n int = 65536
select i * @n from t
