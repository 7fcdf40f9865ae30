create table t (d int, amount int)
insert into t values(1, 10)
insert into t values(2, 20)
insert into t values(2, 30)
insert into t values(3, null)


select d, amount, sum(amount) over (order by d),
       sum(amount) over (order by d, amount rows unbounded preceding),
       count(amount) over (), count(*) over ()
from t order by d, amount
