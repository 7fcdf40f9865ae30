create table t (a int)
insert into t values(1)
insert into t values(2)
insert into t values(3)


select count(*) from (select a from t order by a offset 1 rows fetch next 5 rows only) x
