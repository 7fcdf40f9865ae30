select case when 1 = 1 then 'a' else 'b' end, 'next'
