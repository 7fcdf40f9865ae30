create table t (f float, d decimal(10,3))
insert into t values (2.675, 1.005)


select round(f, 2), cast(f as decimal(10,2)), round(d, 2), cast(d as money) from t
