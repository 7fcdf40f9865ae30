create table t (v int)
insert into t values(2)
insert into t values(null)
insert into t values(1)


select v, row_number() over (order by v) from t order by 2
