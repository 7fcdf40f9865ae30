create table t (d decimal(10,2))
insert into t values (10)


select cast(1 as decimal(10,2)) / 3, 1 / 3.0, 2.0 / 3, 1.0 / 60.0, 1.0 / 0.016666, d / 3, d / cast(3 as decimal(10,2)) from t
