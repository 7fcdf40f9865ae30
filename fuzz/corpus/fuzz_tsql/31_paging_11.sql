create table s (name nvarchar(10), score int)
insert into s values(N'甲', 90)
insert into s values(N'乙', 80)
insert into s values(N'丙', 90)


select top 1 with ties name from s order by score desc, (case when name = N'丙' then 0 else 1 end)
