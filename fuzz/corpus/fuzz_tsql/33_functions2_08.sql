select datefromparts(2026, 2, 30)
