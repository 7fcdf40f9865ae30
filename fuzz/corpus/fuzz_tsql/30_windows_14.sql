select count(distinct v) over () from (select 1 as v) x
