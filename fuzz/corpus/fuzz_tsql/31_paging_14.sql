select top 1 with ties a from (select 1 as a) x
