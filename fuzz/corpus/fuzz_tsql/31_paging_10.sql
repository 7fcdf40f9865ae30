create table s (name nvarchar(10), score int)
insert into s values(N'甲', 90)
insert into s values(N'乙', 80)
insert into s values(N'丙', 90)


select name, score from (select top 1 with ties name, score from s order by score desc) x order by name
