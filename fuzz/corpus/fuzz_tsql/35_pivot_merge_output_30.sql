create table t (k int, v int)
insert into t values (1, 1)


merge t using (select 1 as k, 5 as v union all select 1, 0) s on t.k = s.k
when matched and s.v > 0 then update set v = s.v;
