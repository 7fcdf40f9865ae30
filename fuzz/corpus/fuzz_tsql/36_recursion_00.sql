create table dept (id int primary key, parent int, name nvarchar(20))
insert into dept values (1, null, '总部'), (2, 1, '华东'), (3, 2, '上海店'), (4, 1, '华北'), (5, 9, '孤儿')


with t as (select *, 0 as lvl from dept where parent is null
           union all
           select d.*, t.lvl + 1 from dept as d inner join t on d.parent = t.id)
select id, name, lvl from t order by id
