create table t (v int)


select row_number() over (order by v), sum(v) over () from t
