create table o (billno varchar(10), billdate datetime)
insert into o values('A', '2024-01-05 08:00')
insert into o values('B', '2024-01-06 23:00')
insert into o values('C', '2024-01-08 00:00')


declare @bt datetime, @et datetime
set @bt = :bt
set @et = :et
select billno from o where datediff(day, billdate, @bt) <= 0 and datediff(day, billdate, @et) >= 0 order by billno
