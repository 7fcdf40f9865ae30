begin try
    raiserror('text %s and %d', 16, 1, 'x', 5)
end try
begin catch
    select error_number(), error_message(), error_severity(), error_state()
end catch
