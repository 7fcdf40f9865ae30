create table t (k int, v int)
insert into t values (1, NULL), (2, 2)


merge t using (values (3, 30), (4, NULL)) as s (k, v) on t.k = s.k
when not matched by target and s.v > 0 then insert (k, v) values (s.k, s.v)
when not matched by source and t.v > 0 then delete;
select @@rowcount
