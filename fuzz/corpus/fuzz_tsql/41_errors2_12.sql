create table log (m varchar(20))


begin try
    raiserror('提示', 10, 1)
    insert into log values ('try')
end try
begin catch
    insert into log values ('catch')
end catch
