with d (day) as (select cast('2025-01-01' as date) union all
                 select dateadd(day, 1, day) from d where day < '2025-12-31')
select count(*), convert(varchar(10), max(day), 23) from d option (maxrecursion 366)
