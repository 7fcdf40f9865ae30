declare @s varchar(3), @i int, @m money
set @s = 'abcdef'
set @i = '42'
set @m = 1.23456
select @s, @i, @m
