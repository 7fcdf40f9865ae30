declare @n int = 5, @r varchar(10)
if @n > 3
begin
  set @r = 'big'
end
else
  set @r = 'small'
select @r
