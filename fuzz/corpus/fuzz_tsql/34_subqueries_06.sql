create table c (id int, name nvarchar(5))
create table p (cid int, d date, price int)
insert into c values(1, N'甲')
insert into c values(2, N'乙')
insert into c values(3, N'丙')
insert into p values(1, '2026-01-01', 10)
insert into p values(1, '2026-02-01', 12)
insert into p values(2, '2026-01-15', 7)


select c.name, x.price, x.d from c cross apply (select top 1 p.price, d from p where p.cid = c.id order by p.d desc) x order by c.id
