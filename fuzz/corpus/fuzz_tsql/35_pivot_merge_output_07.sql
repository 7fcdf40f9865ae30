create table t (k int, col varchar(5), qty int)


select * from t a join t b on a.k = b.k pivot (sum(qty) for col in ([x])) p
