create table bad (d datetime)
insert into bad values ('2025-02-30 00:00:00')


select convert(varchar(10), d, 23) from bad
