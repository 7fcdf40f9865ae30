create table p (v decimal(5, 2))
create table log (n int, m varchar(200))


declare @d decimal(5, 2) = 1.5
begin try set @d = 1000 end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try insert into p values (100000.5) end try
begin catch insert into log values (error_number(), error_message()) end catch
insert into p values (@d)
insert into p values (null)
