create table s (code varchar(3), memo varchar(max))


insert into s values ('ABC', replicate('x', 5000))
insert into s values ('AB   ', null)
insert into s values (null, 'y')
