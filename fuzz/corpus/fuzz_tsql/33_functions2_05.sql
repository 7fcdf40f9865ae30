select try_convert(varchar(10), cast('x' as int))
