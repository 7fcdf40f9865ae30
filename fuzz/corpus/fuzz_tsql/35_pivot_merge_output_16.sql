create table t (id int, qty int)
insert into t values (1, 5), (2, NULL)


update t set qty = isnull(qty, 0) * 2 output deleted.*
