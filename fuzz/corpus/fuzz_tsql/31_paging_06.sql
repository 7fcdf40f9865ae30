select top 1 a from (select 1 as a) x order by a offset 0 rows
