select datediff(week, '2024-06-08', '2024-06-09'), datediff(wk, '2024-06-09', '2024-06-15')
