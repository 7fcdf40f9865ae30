create table t (id int identity(1,1) primary key, code varchar(10), qty int)
insert into t (code, qty) values ('a', 1)


declare @log table (id int, code varchar(10))
create table #old (q int, nq int)
insert into t (code, qty) output inserted.id, inserted.code into @log values ('b', 2)
update t set qty = qty * 10 output deleted.qty, inserted.qty into #old where code = 'a'
select @@rowcount as n, (select count(*) from @log) as logged, (select max(id) from @log) as id,
  (select q from #old) as q, (select nq from #old) as nq
