create table log (n int, m varchar(200))


begin try select cast('abc' as int) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select convert(bit, 'yes') end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select cast('1.5x' as decimal(10, 2)) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select cast('x' as float) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select convert(datetime, '2024-13-45') end try
begin catch insert into log values (error_number(), error_message()) end catch
