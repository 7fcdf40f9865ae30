select datediff(day, '2026-02-01', eomonth('2026-02-01'))
