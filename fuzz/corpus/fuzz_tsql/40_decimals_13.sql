select cast(1 as decimal(38,10)) / cast(3 as decimal(38,10)), cast(2 as decimal(20,4)) / cast(4 as decimal(20,2))
