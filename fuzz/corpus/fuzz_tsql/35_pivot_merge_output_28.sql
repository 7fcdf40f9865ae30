create table t (k int, v int)
create table e (k int, v int)
insert into t values (1, 1)


merge t using e on t.k = e.k when matched then delete when not matched by source then update set v = 0;
merge e using t on e.k = t.k when matched then delete when not matched then insert (k, v) values (t.k, t.v);
