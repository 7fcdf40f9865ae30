create table w (id int, note varchar(5), a int, b int)
insert into w values (1, '甲', 1, 2)


select * from (select * from w) s unpivot (v for n in (a, b)) as u where v > 1
