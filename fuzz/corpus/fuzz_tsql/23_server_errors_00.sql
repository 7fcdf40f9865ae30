create table log (m varchar(100))


begin try
    select 1 / 0 as q
end try
begin catch
    insert into log values (error_message())
end catch
