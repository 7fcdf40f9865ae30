select format(1234.5, '0.00'), format(1234567, '#,##0'), format(1234.567, '#,##0.00'), format(0, '#,##0'), format(3.1, '0.##'), format(5, '000'), format(12.5, '0.0元'), format(0.256, '0.0%')
