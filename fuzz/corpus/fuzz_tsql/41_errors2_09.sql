create table s (a int)
insert into s values (1)


alter table s add code char(2)
update s set code = 'lon'
