create table t (a int)
create table e (a int)
insert into t values(1)
insert into t values(2)


select (select count(*) from (select top 50 percent a from e) x),
       (select count(*) from (select top 100 percent a from t) x),
       (select count(*) from (select top 0 percent a from t) x),
       (select count(*) from (select top (1) percent a from t) x)
