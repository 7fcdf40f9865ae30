select total = 1 + 2, [名称] = N'客户'
