create table o (customer varchar(10), d date, amount money)
insert into o values('a', '2026-01-03', 10)
insert into o values('b', '2026-01-01', 20)
insert into o values('a', '2026-01-01', 30)
insert into o values('b', '2026-01-05', 40)
insert into o values('a', '2026-01-02', 50)


select customer, d, row_number() over (partition by customer order by d) as n
from o order by customer, n
