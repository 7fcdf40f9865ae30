with n as (select 1 as x union all select x + 1 from n where x < 1000)
select sum(x) from n option (maxrecursion 0)
