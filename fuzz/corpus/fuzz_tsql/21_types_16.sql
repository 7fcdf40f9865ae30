create table t (s varchar(10) primary key)
insert into t values ('K')


insert into t values ('k  ')
