create table t (v varchar(5), k int, k2 int)
insert into t values('b', 2, 1)
insert into t values('a', 1, 1)
insert into t values('c', 2, 2)
insert into t values(null, 0, 0)


select string_agg(v, '; ') within group (order by k desc, k2) from t
select string_agg(v, '-') within group (order by v) from t where k > 5
