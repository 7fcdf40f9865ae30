declare @s nvarchar(20) = N'北京', @n int = 1
set @s += N'市'
set @n += 41
select @s, @n
