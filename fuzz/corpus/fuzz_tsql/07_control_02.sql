declare @x int
if @x = 1 select 'yes' else select 'no'
