select quotename('my table'), quotename('a]b'), quotename('a''b', ''''), quotename('x', '"'), quotename('x', 'z'), quotename(null)
