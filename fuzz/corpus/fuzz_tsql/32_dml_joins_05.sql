create table t (id int, qty int)
create table u (id int, n int)
insert into t values(1, 10)


update t set qty = u.n from t join u on u.id = t.id
select @@rowcount
