select cast('1,5' as decimal(10,2))
