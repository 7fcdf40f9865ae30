declare @n int = 1
select cast('12a' as int) + @n
