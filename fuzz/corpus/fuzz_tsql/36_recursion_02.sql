with n as (select 1 as x union all select x + 1 from n where x < 101)
select count(*), max(x) from n
