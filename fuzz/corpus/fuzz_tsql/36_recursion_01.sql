create table dept (id int primary key, parent int)
insert into dept values (1, null), (2, 1), (3, 2)


with a (node, depth) as (select id, 1 from dept where parent is null
                         union all select d.id, a.depth + 1 from dept d join a on d.parent = a.node),
     b as (select dept.id, [path] = cast(id as varchar(50)), 0 lvl from dept where parent is null
           union all select d.id, cast(x.path + '/' + cast(d.id as varchar) as varchar(50)), x.lvl + 1
           from b as x join dept d on d.parent = x.id)
select a.node, a.depth, b.path, b.lvl from a join b on b.id = a.node order by a.node
