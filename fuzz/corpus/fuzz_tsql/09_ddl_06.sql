create table e(v int)
insert into e values(5)
create view ev as select v from e
select count(*), max(v) from ev
