create table t (d decimal(10,2))
insert into t values (10)


select d / 4, d * 3 / 4 from t
