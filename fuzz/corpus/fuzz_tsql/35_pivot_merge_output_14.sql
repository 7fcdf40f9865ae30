create table t (id int identity(1,1) primary key, code varchar(10))
create table src (code varchar(10))


insert into t (code) output inserted.code select code from src
select @@rowcount
