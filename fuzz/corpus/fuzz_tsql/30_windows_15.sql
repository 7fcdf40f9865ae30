select row_number() over (order by 1) from (select 1 as v) x
