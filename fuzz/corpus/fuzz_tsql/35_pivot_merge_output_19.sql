create table t (id int, qty int)
insert into t values (1, 1)


update t set qty = 2 output deleted.qty, inserted.qty where id = 1
delete from t output deleted.id
select 1 / 0
