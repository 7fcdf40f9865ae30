create table t (id int)
insert into t values(5)
insert into t values(7)


select (select top 1 id from t order by id desc) as latest, count(1) from t
