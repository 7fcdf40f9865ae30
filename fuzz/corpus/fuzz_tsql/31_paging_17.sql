select top 1 with ties v from (select 1 as v union all select 2) x order by 1 desc
