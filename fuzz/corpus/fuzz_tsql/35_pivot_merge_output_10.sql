create table w (id int, a int, b int, c int)
insert into w values (1, 10, NULL, 30), (2, NULL, NULL, NULL), (3, 5, 6, 7)


select id, col, val from w unpivot (val for col in (a, [B], c)) u
