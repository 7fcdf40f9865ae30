create table t (s varchar(10), n int)
insert into t values ('5', 2)


select 1 + '2', '2' + 1, s + n, s * n, 10 - s, '1' + '2' from t
