create table t (a int, b int, c int)
insert into t values (4, 6, 1)
insert into t values (0, 1, 2)
insert into t values (7, 8, 3)


select (a + b) / 5 from t where (a + 1) > 1 and (c) not in (1, 2)
