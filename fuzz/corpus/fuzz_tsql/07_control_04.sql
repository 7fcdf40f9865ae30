create table t (id int)


insert into t values(1)
return
insert into t values(2)
