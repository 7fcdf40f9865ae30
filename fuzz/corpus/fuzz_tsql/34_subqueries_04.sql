with days (d) as (select cast('2026-02-26' as datetime) union all select dateadd(day, 1, d) from days where d < '2026-03-02')
select count(*), month(max(d)), day(max(d)) from days
