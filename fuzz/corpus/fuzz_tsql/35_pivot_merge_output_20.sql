create table t (id int, code varchar(3))
insert into t values (1, 'a'), (2, 'b')


declare @log table (old varchar(3), new varchar(3))
begin try
  update t set code = code + 'xyz' output deleted.code, inserted.code into @log where id = 2
end try
begin catch
  select error_number(), (select count(*) from @log)
end catch
