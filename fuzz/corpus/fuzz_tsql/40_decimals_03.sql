create table t (p money, q int)
insert into t values (10, 3)


select cast(10 as money) / 3, p / q, p / 3, p * q / 7, cast(2 as money) / cast(3 as money) from t
