with n as (select 1 as x union all select x + 1 from n where x < 3) select x from n option (maxrecursion 40000)
