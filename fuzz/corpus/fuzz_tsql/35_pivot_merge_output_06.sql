create table t (k int, col varchar(5), qty int)
insert into t values (1, 'x', 5), (2, 'x', 7), (2, 'y', 1)


select p.k, isnull(p.x, 0) + isnull(p.y, 0) as total
from (select * from t) as s pivot (sum(qty) for col in (x, y)) as p
where p.k > 1 order by total desc
