create table s (id int, score int)
create table k (id int, kind varchar(1))
insert into s values(1, null)
insert into s values(2, 5)
insert into s values(3, 5)
insert into s values(4, 7)
insert into s values(5, 1)
insert into k values(1, 'a')
insert into k values(2, 'a')
insert into k values(3, 'a')
insert into k values(4, 'b')
insert into k values(5, 'a')


select top 2 with ties s.id from s join k on k.id = s.id where k.kind = 'a' order by s.score
