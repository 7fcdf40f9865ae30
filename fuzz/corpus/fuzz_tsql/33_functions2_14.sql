select sign(-5), sign(0), sign(null), square(3), square(1.5), power(2, 10), power(2, -1), power(2.0, -1), log10(1000), log10(null)
