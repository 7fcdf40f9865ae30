create table t (id int)
create table u (id int)
insert into t values(1)
insert into t values(2)
insert into u values(1)


delete from x from t as x inner join u on u.id = x.id
