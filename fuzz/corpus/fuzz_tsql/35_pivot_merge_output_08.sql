create table t (k int, col varchar(5), qty int)


select * from (select k, col, qty * 2 from t) s pivot (sum(qty) for col in ([x])) p
