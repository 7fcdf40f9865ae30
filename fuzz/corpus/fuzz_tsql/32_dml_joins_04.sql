create table h (id int, total int)
create table l (hid int, amount int)
insert into h values(1, 0)
insert into h values(2, 0)
insert into l values(1, 2)
insert into l values(1, 3)


update h set total = s.amount from h join (select hid, sum(amount) as amount from l group by hid) s on s.hid = h.id
