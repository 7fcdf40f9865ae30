create table t (p money, d decimal(18,2))
insert into t values (0.0001, 0.01)
insert into t values (0, 0)
insert into t values (0, 0)
insert into t values (-0.0001, -0.01)
insert into t values (0.0001, 0.01)
insert into t values (0.0001, 0.01)


select avg(p), avg(d), avg(-p) from t where p >= 0
