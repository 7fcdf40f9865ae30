with n as (select 1 + 0 union all select 1 from n) select * from n
