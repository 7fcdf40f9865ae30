create table t (p money, d decimal(18,2))
insert into t values (19.99, 0.1)
insert into t values (0.01, 0.2)
insert into t values (null, null)


select sum(p) * 3, sum(d), avg(p), avg(d), sum(d) * 10 from t
