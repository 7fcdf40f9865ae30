create table t (s varchar(10), n int)
insert into t values ('x', 1)
insert into t values ('x ', 2)
insert into t values ('X   ', 3)


select count(*), sum(n) from t group by s
