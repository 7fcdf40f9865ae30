create table log (n int, m varchar(200))


declare @i int, @d decimal(10, 2), @t datetime
begin try set @i = 'abc' end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try set @d = 'abc' end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try set @t = 'abc' end try
begin catch insert into log values (error_number(), error_message()) end catch
