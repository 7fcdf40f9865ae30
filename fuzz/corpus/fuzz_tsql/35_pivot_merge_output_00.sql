create table sales (store varchar(10), month varchar(3), qty int)
insert into sales values ('北店', 'jan', 1), ('北店', 'feb', 2), ('北店', 'JAN', 3)
insert into sales values ('南店', 'mar', 4), ('南店', 'jan', NULL)


select store, [jan], [feb], [mar], [apr]
from (select store, month, qty from sales) s
pivot (sum(qty) for month in ([jan], [feb], [mar], [apr])) p
order by store
