declare @i int = 0, @sum int = 0
while @i < 10
begin
  set @i = @i + 1
  if @i = 3 continue
  if @i > 5 break
  set @sum = @sum + @i
end
select @i, @sum
