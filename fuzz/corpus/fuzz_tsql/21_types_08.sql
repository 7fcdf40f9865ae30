create table t (b bigint)
insert into t values (9223372036854775807)


select b + 1 from t
