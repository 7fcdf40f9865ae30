create table t (id int primary key)


insert into t values(1)
insert into t values(2)
insert into t values(1)
