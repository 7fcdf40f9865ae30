select format('abc', 'N2')
