create table log (n int, m varchar(200))


begin try select log10(0) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select right('abc', -1) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select datefromparts(2023, 2, 29) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select format('abc', 'N2') end try
begin catch insert into log values (error_number(), error_message()) end catch
