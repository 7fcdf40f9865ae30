declare @x int
begin try
    set @x = 1 / 0
end try
begin catch
    select error_number()
end catch
