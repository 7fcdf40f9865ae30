declare @n int = 2147483647
begin try
    set @n = @n + 1
end try
begin catch
    select error_number(), error_message(), @n
end catch
