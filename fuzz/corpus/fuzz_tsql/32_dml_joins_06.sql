create table t (id int)
create table u (id int)
insert into t values(1)
insert into t values(2)
insert into t values(3)
insert into u values(2)
insert into u values(3)
insert into u values(3)


delete t from t join u on u.id = t.id where u.id > 2
select @@rowcount
