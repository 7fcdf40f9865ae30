select 1
exec sp_who
