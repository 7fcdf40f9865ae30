select t.a, x.b
from (select 1 as a) t cross apply (select sum(a) as b from (select 1 as a) u) x
