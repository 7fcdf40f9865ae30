raiserror('数据错误异常.', 16, 1)
