create table t (a int, b int)
insert into t values (10, 0)


declare @r int
begin try
    set @r = 1
    select @r = a / b from t
end try
begin catch
    select error_number(), error_message(), error_line(), @@error
end catch
