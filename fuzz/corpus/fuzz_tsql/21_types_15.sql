create table t (s varchar(10), n int)
create index ix_t_s on t (s)
insert into t values ('B ', 1)
insert into t values ('a  ', 3)
insert into t values ('C', 4)
insert into t values ('Ab', 5)


select n from t where s in ('a', 'c') or s like 'b%' or s > 'ab ' order by s, n
