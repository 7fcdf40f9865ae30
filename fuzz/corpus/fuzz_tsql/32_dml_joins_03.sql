create table t (id int, qty int)
create table u (id int, n int)
insert into t values(1, 10)
insert into t values(2, 20)
insert into u values(2, 9)


update t set qty = u.n from u where u.id = t.id
