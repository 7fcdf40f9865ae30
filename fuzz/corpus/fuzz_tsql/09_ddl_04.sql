create table t (id int)
insert into t values(1)


truncate table t
