create table t (id int primary key)
insert into t values (1)
create table log (s int)


insert into log values (xact_state())
begin tran
begin try
    insert into t values (1)
end try
begin catch
    insert into log values (xact_state())
end catch
commit
insert into log values (xact_state())
