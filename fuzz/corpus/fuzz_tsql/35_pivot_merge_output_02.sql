create table t (id int, k varchar(5), col varchar(5), qty int)
insert into t values (1, 'a', 'x', 1), (2, 'a', 'x', 2), (3, 'a', 'y', 4)


select * from (select k, col, qty from t) s pivot (avg(qty) for col in ([x], [y])) p
