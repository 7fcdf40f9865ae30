declare @i int
set @i = 'abc'
