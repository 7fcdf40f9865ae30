create table t (a decimal(10,1), b decimal(10,3), m money, i int)
insert into t values (null, 2.567, 3, 4)


select coalesce(a, b), case when i > 5 then a else b end, iif(i > 0, b, i), isnull(a, b), coalesce(m, i), coalesce(a, m), case when i > 0 then i else 2 end from t
