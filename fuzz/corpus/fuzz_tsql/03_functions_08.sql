select dbo.fn_total(1)
