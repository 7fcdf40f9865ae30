begin try
    throw 50001, N'单据已审核', 3
end try
begin catch
    select error_number(), error_message(), error_severity(), error_state()
end catch
