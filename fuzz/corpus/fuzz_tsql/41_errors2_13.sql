begin try
    raiserror('[%5s][%-5s][%05d][%+d][%x][%.2s][%i][%s][%%]', 16, 2, 'ab', 'cd', 42, 7, 255, 'xyz', -3, null)
end try
begin catch
    select error_message(), error_state()
end catch
