create table t (d decimal(10,2))
insert into t values (0.10)
insert into t values (0.10)
insert into t values (0.20)
insert into t values (null)


select sum(distinct d), avg(distinct d), sum(d), count(distinct d), case when sum(distinct d) = 0.3 then 1 else 0 end from t
