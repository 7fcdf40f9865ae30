create table t (v int)
insert into t values(3)
insert into t values(1)


select (select string_agg(v, ',') from t where v > 5), (select string_agg(v, '|') within group (order by v) from t)
