create table o (v int)
insert into o values(1)
insert into o values(2)
insert into o values(2)


select (select count(*) from (select top 1 with ties v * 10 tens from o order by tens desc) x),
       (select count(*) from (select top 1 with ties [倍数] = v * 2 from o order by [倍数]) x)
