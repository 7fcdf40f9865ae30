create table c (id int)
create table p (cid int, price int)
insert into c values(1)
insert into c values(2)
insert into p values(1, 10)
insert into p values(1, 20)
insert into p values(2, 5)


select c.id, x.twice from c cross apply (select twice = price * 2 from p where p.cid = c.id) x order by c.id, x.twice
