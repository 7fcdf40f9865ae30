create table a (v int)
create table b (v int)
insert into a values(1)
insert into a values(2)
insert into a values(null)
insert into b values(2)


select (select count(*) from a where v in (select v from b)),
       (select count(*) from a where v not in (select v from b)),
       (select count(*) from b where v not in (select v from a)),
       (select count(*) from a where v in (select v from b where 1 = 0))
