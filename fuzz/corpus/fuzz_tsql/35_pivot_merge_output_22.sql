create table t (id int, qty int)


insert into t (id) output deleted.id values (1)
