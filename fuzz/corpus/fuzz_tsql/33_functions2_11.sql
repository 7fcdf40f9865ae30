select replicate('ab', 3), replicate('x', 0), replicate('x', -1), reverse(N'甲乙丙'), reverse(null)
