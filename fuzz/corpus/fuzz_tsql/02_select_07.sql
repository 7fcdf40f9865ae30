create table t (code varchar(10))
insert into t values('abc')


select count(*) from t where code = 'ABC'
