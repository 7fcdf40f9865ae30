create table t (g varchar(1), v int)
insert into t values('a', 1)
insert into t values('a', 2)
insert into t values('a', 3)
insert into t values('b', 5)


select g, v, first_value(v) over (partition by g order by v),
       last_value(v) over (partition by g order by v),
       last_value(v) over (partition by g order by v rows between unbounded preceding and unbounded following)
from t order by g, v
