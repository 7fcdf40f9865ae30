create table t (id int, qty int, note varchar(10))
create table u (id int, n int)
insert into t values(1, 10, 'a')
insert into t values(2, 20, 'b')
insert into u values(1, 5)
insert into u values(2, 6)


update t set t.qty = u.n, note = 'x' + note from t inner join u on u.id = t.id where u.n > 5
