create table t (a int)
insert into t values(1)
insert into t values(2)
insert into t values(3)
insert into t values(4)


declare @page int = 2, @size int = 2
select a from t order by a offset (@page - 1) * @size rows fetch next @size rows only
