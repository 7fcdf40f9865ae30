create table t (v int)
insert into t values(3)
insert into t values(1)
insert into t values(2)


select v from t order by row_number() over (order by v desc)
