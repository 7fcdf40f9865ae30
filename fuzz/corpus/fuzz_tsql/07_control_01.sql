create table t (id int)


if not exists(select 1 from t where id = 1) insert into t values(1)
if not exists(select 1 from t where id = 1) insert into t values(1)
select count(*) from t
