create table s (code varchar(3), name nvarchar(2), memo nvarchar(max))
insert into s values ('A1', '苹果', 'x')
create table log (n int, m varchar(200))


begin try insert into s values ('ABCD', 'x', 'x') end try
begin catch insert into log values (error_number(), error_message()) end catch
begin try update s set name = N'红苹果' end try
begin catch insert into log values (error_number(), error_message()) end catch
