create table t (id int)
create table u (id int)
insert into t values(1)
insert into t values(2)
insert into u values(1)


delete t from t left join u on u.id = t.id where u.id is null
