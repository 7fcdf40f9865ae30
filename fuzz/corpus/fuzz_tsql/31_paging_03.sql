create table t (a int)
insert into t values(1)


select a from t order by a offset 5 rows fetch next 1 rows only
