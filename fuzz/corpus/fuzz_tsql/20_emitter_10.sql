select cast('50%1' as varchar(10)), cast(N'%1%2' as nvarchar(3)), 1 + len('a%1b'), convert(varchar(4), '%1xyz')
