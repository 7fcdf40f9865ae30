create table t (id int identity(1,1) primary key, name varchar(10))
insert into t(name) values('a')


insert into t(name) values('b')
select @@rowcount, @@identity, scope_identity()
