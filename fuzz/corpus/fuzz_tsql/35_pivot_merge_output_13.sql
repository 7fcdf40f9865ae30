create table t (id int identity(1,1) primary key, code varchar(10), amt money default 1)


insert into t (code) output inserted.id, inserted.code as c, inserted.amt values ('a'), ('b')
