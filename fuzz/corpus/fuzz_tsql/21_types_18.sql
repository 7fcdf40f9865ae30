create table dl (d datetime)
insert into dl values ('2025-03-04 05:06:07')


declare @v varchar = 'abc'
select cast('abcdefghijklmnopqrstuvwxyz0123456789' as varchar), cast(12345 as nvarchar),
       convert(varchar, d, 120), convert(varchar(4), d, 120), @v
from dl
