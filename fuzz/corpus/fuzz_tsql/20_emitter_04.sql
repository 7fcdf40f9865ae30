select ('abc') + 'def', ('a') + ('b') + 'c'
