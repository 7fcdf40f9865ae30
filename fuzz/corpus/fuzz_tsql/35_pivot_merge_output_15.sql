create table t (id int, code varchar(10), qty int)
insert into t values (1, 'a', 10), (2, 'b', 20), (3, 'c', 30)


update t set qty = qty + 1, code = upper(code) output deleted.qty, inserted.qty as new_qty, deleted.code, inserted.code where id <> 2
