create table t (id int, qty int)
create table u (id int, n int)
insert into t values(1, 10)
insert into t values(2, 20)
insert into t values(3, 30)
insert into u values(1, 5)
insert into u values(3, 7)


update x set qty = x.qty + u.n from t x join u on u.id = x.id
select @@rowcount
