select try_cast('abc' as int), try_convert(datetime, 'x'), try_cast(12345.6 as decimal(5, 2)), try_cast(999.994 as decimal(5, 2))
