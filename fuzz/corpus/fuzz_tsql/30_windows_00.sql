create table s (name nvarchar(10), score int)
insert into s values(N'甲', 90)
insert into s values(N'乙', 80)
insert into s values(N'丙', 90)
insert into s values(N'丁', 70)


select name, score, row_number() over (order by score desc, name) as rn,
       rank() over (order by score desc) as rk, dense_rank() over (order by score desc) as drk
from s order by rn
