create table t (a int)
insert into t values(1)
insert into t values(2)
insert into t values(3)


select a from t order by a offset 2 rows
