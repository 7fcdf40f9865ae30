create table t (c int)
insert into t values (95)
insert into t values (89)
insert into t values (80)


select c from t where (c) - - 1 > 90 order by c
