create table t (a int)
insert into t values(1)
insert into t values(2)
insert into t values(3)


declare @n int = 1
select top (@n + 1) a from t order by a desc
