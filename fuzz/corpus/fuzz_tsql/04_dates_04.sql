select datediff(day, getdate() - 365, getdate()), datediff(day, getdate(), getdate() + 1)
