create table t (id int, qty int)
create table u (id int, n int)
insert into t values(1, 10)
insert into t values(2, 20)
insert into u values(1, 5)


update t set qty = isnull(u.n, 0) from t left join u on u.id = t.id
