select top 1 1 union select 2
