raiserror('提示 %s', 10, 1, 'x')
begin try
  raiserror('单号 %s 第 %d 行有误', 16, 1, 'A01', 3)
end try
begin catch
  select error_message(), error_number(), error_severity()
end catch
