create table t (id int, qty int)


insert into t (id) output inserted.nope values (1)
