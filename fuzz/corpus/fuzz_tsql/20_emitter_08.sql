create table t (a int, b int)


insert into t (a, b) values ((1 + 2) * 3, (4))
select a, b from t
