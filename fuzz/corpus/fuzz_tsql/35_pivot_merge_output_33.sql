create table t (k int)


merge t using t s on t.k = s.k when matched then delete output deleted.k;
