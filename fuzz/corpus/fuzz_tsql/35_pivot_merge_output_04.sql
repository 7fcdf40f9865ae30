declare @t table (k int, m int, amt decimal(18,2))
insert into @t values (1, 2024, 0.10), (1, 2024, 0.20), (1, 2025, 0.05), (2, 2025, 1)
select k, cast([2024] as decimal(18,2)) as y24, [2025] from @t
pivot (sum(amt) for m in ([2024], [2025])) p order by k
