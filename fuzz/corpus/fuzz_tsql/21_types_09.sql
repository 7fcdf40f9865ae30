create table t (i int, z int)
insert into t values (7, 0)


select i % z from t
