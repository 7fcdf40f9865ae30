create table t (id int)
insert into t values(1)
insert into t values(2)
insert into t values(3)


declare @n int
set @n = 2
select top (@n) id from t order by id
select top 0 id from t
