create table t (c int)
insert into t values (1)
insert into t values (2)


select (-47) - - c from t order by 1
