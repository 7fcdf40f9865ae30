declare @n int
begin try
    set @n = 1 + 'a'
end try
begin catch
    select error_number(), error_message()
end catch
