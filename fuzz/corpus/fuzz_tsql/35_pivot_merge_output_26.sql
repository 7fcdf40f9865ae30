create table t (k int, v int)
insert into t values (1, 1)


merge t using (select 1 as k, 5 as v union all select 2, 6) s on t.k = s.k
when matched then update set k = 2, v = s.v
when not matched by target then insert (k, v) values (s.k, s.v);
