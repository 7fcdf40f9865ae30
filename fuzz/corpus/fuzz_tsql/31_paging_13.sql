create table s (v int)
insert into s values(1)
insert into s values(2)
insert into s values(2)
insert into s values(2)
insert into s values(3)


select count(*) from (select top 2 with ties v from s order by v) x
