create table t (a int)


insert into t values(1)
select * from (merge t using (select 1 as a) s on t.a = s.a when matched then delete) x;
