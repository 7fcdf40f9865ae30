create table t (x int, y int)
insert into t values (1, 1)
insert into t values (-1, 2)
create view v as select x, y from dbo.t where y > 0


insert into t values (5, 5)
delete from v where x > 0
