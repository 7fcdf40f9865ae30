declare @t table (name varchar(2))
begin try
    insert into @t values ('xyz')
end try
begin catch
    select error_number(), error_message()
end catch
