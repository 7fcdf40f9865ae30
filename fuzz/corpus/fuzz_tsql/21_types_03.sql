select 1.5 + '2.25'
