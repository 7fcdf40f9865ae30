select cast(null as decimal(10,2)), round(null, 2), round(1.5, null), cast(null as money) / 3
