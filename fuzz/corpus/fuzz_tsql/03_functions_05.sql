select round(2.675, 2), round(-2.5, 0), round(1234, -2), floor(-1.5), ceiling(1.2)
