select 2 - -1
