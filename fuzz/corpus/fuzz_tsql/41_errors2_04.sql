create table log (n int, m varchar(200))


begin try select cast(12345.6 as decimal(5, 2)) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select cast(-1000 as numeric(5, 2)) end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try select cast(123456789012345678 as decimal) end try
begin catch insert into log values (error_number(), error_message()) end catch
insert into log values (0, cast(cast(-999.99 as decimal(5, 2)) as varchar(20)))
insert into log values (0, cast(cast(0.5 as decimal(1, 1)) as varchar(20)))
