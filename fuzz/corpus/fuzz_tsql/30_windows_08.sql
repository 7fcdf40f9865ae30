create table t (d int, v float)
insert into t values(1, 2)
insert into t values(2, 4)
insert into t values(3, 8)


select d, avg(v) over (order by d rows between 1 preceding and current row) from t order by d
