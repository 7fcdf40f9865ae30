select format(1234.5, 'C'), format(-5, 'C'), format(3, 'C0'), format(0.1234, 'P'), format(0.5, 'P0'), format(-0.015, 'P1')
