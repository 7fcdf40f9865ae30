create table c (id int, name nvarchar(5))
create table p (cid int, d date, price int)
insert into c values(1, N'甲')
insert into c values(2, N'乙')
insert into p values(1, '2026-01-01', 10)
insert into p values(1, '2026-02-01', 12)


select c.name, x.last from c outer apply (select top (1) pp.price as last from p as pp where pp.cid = c.id order by pp.d desc) as x order by c.id
