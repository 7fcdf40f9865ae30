create table t (a decimal(10,1), b decimal(10,2))
insert into t values (0.1, 0.2)


select a + b, a + a + a, a * b * 3, a - b from t
