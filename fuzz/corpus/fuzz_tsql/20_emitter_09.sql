create table t (a int, b int)
insert into t values (1, 2)


update t set a = (a + b) * - -2 where (b) = 2
select a from t
