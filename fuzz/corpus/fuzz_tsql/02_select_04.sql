create table t (id int)
insert into t values(1)


select a.id from t a (nolock) join t b with (nolock) on a.id = b.id
