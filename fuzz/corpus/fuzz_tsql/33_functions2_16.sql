select format(1234.5, 'N2'), format(1234.5, 'N0'), format(-1234567.891, 'N2'), format(2.675, 'N2'), format(0.5, 'N0'), format(-0.001, 'N2')
