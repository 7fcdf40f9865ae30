select eomonth('2024-02-10'), eomonth('2026-01-31', 1), eomonth('2026-03-15', -1), eomonth(null), datefromparts(2026, 2, 28), datefromparts(2026, null, 1)
