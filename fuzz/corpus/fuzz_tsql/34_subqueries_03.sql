create table dept (id int, parent int, name nvarchar(10))
insert into dept values(1, null, N'总部')
insert into dept values(2, 1, N'华东')
insert into dept values(3, 2, N'上海')
insert into dept values(4, 1, N'华南')


with tree as (
    select id, name, 0 as lvl from dept where parent is null
    union all
    select d.id, d.name, tree.lvl + 1 from dept d join tree on d.parent = tree.id
)
select name, lvl from tree order by lvl, id
