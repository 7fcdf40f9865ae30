select 'a' + null
