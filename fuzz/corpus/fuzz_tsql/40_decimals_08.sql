create table t (p money, d decimal(18,2))
insert into t values (null, null)


select sum(p), avg(p), sum(d), avg(d) from t
