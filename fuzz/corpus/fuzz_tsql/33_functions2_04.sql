select try_cast('x' as int), try_cast('12' as int), try_convert(int, 'x'), try_convert(float, '1.5'), try_convert(decimal(10,2), 'x'), try_cast('2026-13-01' as datetime), try_cast(null as int)
