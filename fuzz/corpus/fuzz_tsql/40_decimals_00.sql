select cast(1.005 as decimal(10,2)), cast(-1.005 as numeric(10,2)), cast('1.005' as decimal(10,2)), cast(2.5 as decimal(10,0)), cast(-2.5 as decimal(10,0)), cast(0.0049 as decimal(10,2))
