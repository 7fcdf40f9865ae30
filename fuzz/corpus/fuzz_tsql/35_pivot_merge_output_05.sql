create table t (k int, col varchar(5), qty int)


select * from (select col, qty from t) s pivot (count(qty) for col in ([x])) p
