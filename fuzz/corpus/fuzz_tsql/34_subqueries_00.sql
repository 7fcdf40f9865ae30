create table c (id int, name nvarchar(5))
create table o (cid int)
insert into c values(1, N'甲')
insert into c values(2, N'乙')
insert into c values(3, N'丙')
insert into o values(1)
insert into o values(1)
insert into o values(3)


select name from c where exists (select 1 from o where o.cid = c.id) and not exists (select * from o where o.cid = c.id and c.id > 2)
