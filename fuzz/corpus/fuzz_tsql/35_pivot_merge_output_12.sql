create table w (id int, a int, b int)


select count(*) from w unpivot (v for n in (a, b)) u
