begin try
    raiserror(50005, 16, 1)
end try
begin catch
    select error_number(), error_message()
end catch
