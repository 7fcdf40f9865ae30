select 'a' || 'b'
