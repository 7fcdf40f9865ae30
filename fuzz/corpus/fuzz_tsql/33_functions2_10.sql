select stuff('abcdef', 2, 3, 'XY'), stuff('abc', 3, 10, ''), stuff('abc', 4, 1, 'x'), stuff('abc', 0, 1, 'x'), stuff('abc', 1, 1, null), stuff(null, 1, 1, 'x')
