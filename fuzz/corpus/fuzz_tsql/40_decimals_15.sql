create table t (k int, d decimal(10,2))
insert into t values (1, 0.10)
insert into t values (2, 0.20)
insert into t values (3, 0.30)
insert into t values (4, 0.40)


select k, sum(d) over (order by k), avg(d) over (order by k rows between 1 preceding and current row), sum(d) over (order by k rows between 1 preceding and 1 following), case when sum(d) over (order by k) in (0.1, 0.3, 0.6, 1.0) then 1 else 0 end from t order by k
