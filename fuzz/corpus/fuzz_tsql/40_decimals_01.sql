select round(2.675, 2), round(-2.675, 2), round(1.005, 2), round(2.675, 2, 1), round(1234.5, -2), round(1250, -2), round(-1250, -2), round(10.5, 0)
