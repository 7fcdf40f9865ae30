create table t (k int, col varchar(5), qty int)


select * from t pivot (sum(amount) for col in ([x])) p
