create table t (i int, g int, d decimal(10, 2))
insert into t values (1, 1, 1)
insert into t values (2, 1, 2)
insert into t values (-1, 2, 1)
insert into t values (-2, 2, 2)
insert into t values (null, 3, null)


select g, avg(i), avg(d) from t group by g order by g
