create table t (id int)
insert into t values(1)
insert into t values(2)


declare @a int = -1, @b int = -1
select @a = id from t order by id
select @b = id from t where id > 100
select @a, @b, @@rowcount
