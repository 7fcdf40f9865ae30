create table t (id int primary key)
insert into t values(1)


declare @r varchar(20) = 'none'
begin try
  insert into t values(1)
  set @r = 'not reached'
end try
begin catch
  set @r = 'caught'
end catch
select @r, @@error <> 0
