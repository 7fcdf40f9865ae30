create table log (n int, m varchar(200))


declare @big bigint = 3000000000
begin try select cast(@big as int) end try
begin catch insert into log values (error_number(), error_message()) end catch
insert into log values (0, concat(cast(@big as bigint), ' ', isnull(try_cast(@big as int), -1), ' ', cast(-2147483648 as int)))
