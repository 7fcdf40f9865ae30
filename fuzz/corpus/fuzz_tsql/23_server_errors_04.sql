declare @n int = 0
select 10 / @n
