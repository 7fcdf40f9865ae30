select sum(v) over (order by v rows between 1 preceding and foo) from (select 1 as v) x
