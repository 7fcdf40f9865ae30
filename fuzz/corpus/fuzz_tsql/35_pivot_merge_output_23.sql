create table t (id int, qty int)


update t set qty = 1 output inserted.qty * 2
