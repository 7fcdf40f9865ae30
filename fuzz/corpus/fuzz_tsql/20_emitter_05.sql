select case when datediff(day, getdate(), (getdate()) + 1) = 1 then 'tomorrow' else 'wrong' end
