create table t (id int, qty int)
create table u (id int, n int)


update t set qty = u.n output inserted.qty from t join u on u.id = t.id
