create table t (g varchar(1), v int)
insert into t values('a', 1)
insert into t values('a', 2)
insert into t values('b', 5)


with s (g, total) as (select g, sum(v) from t group by g),
     m as (select max(total) as best from s)
select s.g, s.total from s, m where s.total = m.best
