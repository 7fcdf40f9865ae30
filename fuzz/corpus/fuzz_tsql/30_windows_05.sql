create table t (v int)
insert into t values(10)
insert into t values(20)
insert into t values(30)


select v, lag(v) over (order by v), lead(v, 1, 0) over (order by v), lag(v, 2, -1) over (order by v) from t order by v
