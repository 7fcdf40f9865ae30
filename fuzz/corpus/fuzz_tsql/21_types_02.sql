select 1 + 'a'
