create table stock (code varchar(10) primary key, qty int, note varchar(10))
insert into stock values ('a', 1, NULL), ('b', 2, NULL), ('c', 3, NULL)
create table inc (code varchar(10), qty int)
insert into inc values ('A', 10), ('d', 4), ('c', 0), (NULL, 7)


merge into stock as t using inc as s on t.code = s.code
when matched and s.qty = 0 then delete
when matched then update set qty = t.qty + s.qty, note = 'upd'
when not matched then insert (code, qty, note) values (isnull(s.code, '?'), s.qty, 'new')
when not matched by source then update set t.note = 'gone';
select @@rowcount
