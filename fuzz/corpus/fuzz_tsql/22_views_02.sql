create table t (x int)


create view v2 as select x from t
insert into dbo.v2 values (1)
