else select 1
