create table log (n int, m varchar(200))


begin try
  with n as (select 1 as x union all select x + 1 from n) select x from n
end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try
  with n as (select 1 as x union all select x + 1 from n where x < 10) select x from n option (maxrecursion 5)
end try
begin catch insert into log values (error_number(), error_message()) end catch
