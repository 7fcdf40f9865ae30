select dateadd(month, 1, '2024-01-31'), dateadd(day, -1, '2024-03-01'), dateadd(yy, 1, '2024-02-29'), dateadd(hh, 25, '2024-01-01 00:00:00')
