create table dd (d datetime)
insert into dd values ('2025-03-04 05:06:07')
insert into dd values ('2025-12-31 23:59:59.997')


select convert(varchar(7), d, 120), convert(varchar(19), d, 20), convert(varchar(23), d, 121),
       convert(varchar(10), d, 23), convert(varchar(8), d, 112)
from dd order by d
