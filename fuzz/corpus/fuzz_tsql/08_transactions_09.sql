begin try
  throw 50001, N'自定义错误', 1
end try
begin catch
  throw
end catch
