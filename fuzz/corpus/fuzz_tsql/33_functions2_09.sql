select choose(2, 'a', 'b', 'c'), choose(4, 'a', 'b', 'c'), choose(0, 'a'), choose(null, 'a'), choose(1.9, 'x', 'y')
