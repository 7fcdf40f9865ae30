create table t (x int)
insert into t values (3)
create view v as select x from t


delete from t where x > 5
select x from v
