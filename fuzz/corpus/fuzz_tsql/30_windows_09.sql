create table t (g varchar(1), v int)
insert into t values('a', 1)
insert into t values('a', 3)
insert into t values('b', 2)


select g, v, sum(v) over (partition by g), max(v) over (partition by g), min(v) over () from t order by g, v
