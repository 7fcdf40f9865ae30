create table log (n int, m varchar(200))


begin try select convert(bigint, 'x') end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select cast('99999999999' as int) end try
begin catch insert into log values (error_number(), error_message()) end catch
insert into log values (0, concat(cast('99999999999' as bigint), ' ', cast(' 12 ' as int), ' ', isnull(try_cast('99999999999' as int), -1)))
