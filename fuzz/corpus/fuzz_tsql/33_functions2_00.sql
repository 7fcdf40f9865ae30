create table t (g varchar(1), v varchar(5))
insert into t values('a', 'x')
insert into t values('a', null)
insert into t values('a', 'y')
insert into t values('b', null)


select g, string_agg(v, ',') from t group by g order by g
