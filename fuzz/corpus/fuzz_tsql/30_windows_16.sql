create table h (id int, customer nvarchar(5), d datetime)
create table l (hid int, amount int)
insert into h values(1, N'甲', '2026-01-05')
insert into h values(2, N'乙', '2026-01-09')
insert into h values(3, N'甲', '2026-02-01')
insert into h values(4, N'乙', '2026-02-03')
insert into l values(1, 10)
insert into l values(1, 5)
insert into l values(2, 20)
insert into l values(3, 7)
insert into l values(4, 3)


select h.customer, month(h.d) as m, sum(l.amount) as total,
       rank() over (partition by month(h.d) order by sum(l.amount) desc) as place,
       sum(sum(l.amount)) over (partition by h.customer order by month(h.d)) as running
from h join l on l.hid = h.id
group by h.customer, month(h.d)
order by m, place
