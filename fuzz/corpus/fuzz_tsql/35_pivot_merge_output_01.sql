create table sales (store varchar(10), month varchar(3), qty int)
insert into sales values ('北店', 'jan', 1), ('北店', 'jan', 2), ('南店', 'jan', NULL)
insert into sales values ('南店', 'feb', 5)


select * from (select store, month, qty from sales) s
pivot (count(qty) for month in ([jan], [feb])) p order by store
