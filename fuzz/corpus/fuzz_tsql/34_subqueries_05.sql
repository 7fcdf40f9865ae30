create table t (id int, v int)
insert into t values(1, 5)
insert into t values(2, 50)


with big as (select id from t where v > 10)
delete from t where id in (select id from big)
