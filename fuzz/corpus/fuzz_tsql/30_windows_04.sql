create table t (v int)
insert into t values(1)
insert into t values(2)
insert into t values(3)
insert into t values(4)
insert into t values(5)


select v, ntile(2) over (order by v) from t order by v
