select coalesce(null, null, 3), nullif(1, 1), iif(1 > 0, 'y', 'n'), case 2 when 1 then 'one' when 2 then 'two' else 'many' end
