select 1 + 2, 1.5 + 1
