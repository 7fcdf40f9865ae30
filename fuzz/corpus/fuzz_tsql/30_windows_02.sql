select row_number() over (order by (select null)) + 1
