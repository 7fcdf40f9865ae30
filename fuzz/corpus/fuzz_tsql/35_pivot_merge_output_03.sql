create table t (id int, k varchar(5), col varchar(5), qty int)
insert into t values (1, 'a', 'x', 1), (2, 'a', 'x', 2), (3, 'a', 'y', 4)


select * from t pivot (max(qty) for col in ([x], [y])) p order by id
