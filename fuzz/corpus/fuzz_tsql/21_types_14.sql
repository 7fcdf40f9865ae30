create table t (s varchar(10), n int)
create index ix_t_s on t (s)
insert into t values ('B ', 1)
insert into t values ('b', 2)
insert into t values ('a  ', 3)
insert into t values ('C', 4)


select count(*) from t where s = 'B'
