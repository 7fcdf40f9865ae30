declare @bt datetime
set @bt = '2024-03-01'
select @bt - 1, @bt + 0.5
