select 'a' + 'b', N'北京' + N'市', 'x' + cast(12 as varchar(10))
