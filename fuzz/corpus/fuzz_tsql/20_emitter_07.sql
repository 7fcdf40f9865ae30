create table t (a int, c int)
insert into t values (1, 10)
insert into t values (3, 20)
insert into t values (5, 30)


select a, (select max(c) from t) - c from t where (a = 1 or a = 5) and c > 0 order by a
