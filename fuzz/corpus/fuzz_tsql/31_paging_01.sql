create table t (a int)
insert into t values(1)
insert into t values(2)
insert into t values(3)
insert into t values(4)
insert into t values(5)


select a from t order by a desc offset 1 row fetch first 2 row only
