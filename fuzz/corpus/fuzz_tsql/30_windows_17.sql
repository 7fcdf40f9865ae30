create table wa (k int, v int)
insert into wa values (1, 1), (1, 2), (2, 5), (2, 6)


select k, v, avg(v) over (partition by k) as a from wa order by v
