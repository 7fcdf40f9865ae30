create table t (k int, code varchar(3))
insert into t values (1, 'a')


insert into t values (9, 'z')
merge t using (select 1 as k, 'b' as code union all select 2, 'long') s on t.k = s.k
when matched then update set code = s.code
when not matched then insert (k, code) values (s.k, s.code);
