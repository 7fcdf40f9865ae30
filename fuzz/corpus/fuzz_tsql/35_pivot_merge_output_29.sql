create table t (k int, v int)
insert into t values (1, 1), (2, 2)


begin try
  merge t using (select 1 as k union all select 1 union all select 3) s on t.k = s.k
  when matched then update set v = 9
  when not matched then insert (k, v) values (s.k, 0);
end try
begin catch
  select error_number(), error_message()
end catch
