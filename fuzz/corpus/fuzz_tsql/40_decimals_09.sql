create table t (g int, p money)
insert into t values (1, 0.1)
insert into t values (1, 0.1)
insert into t values (1, 0.2)
insert into t values (2, 0.7)


select g, sum(p), sum(distinct p), sum(sum(p)) over (), avg(p) from t group by g order by g
