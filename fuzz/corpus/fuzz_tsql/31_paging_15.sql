create table o (customer nvarchar(5), amount int)
insert into o values(N'甲', 10)
insert into o values(N'甲', 20)
insert into o values(N'乙', 30)
insert into o values(N'丙', 5)
insert into o values(N'丁', 25)


select customer, total from (
  select top 1 with ties customer, sum(amount) as total from o group by customer order by total desc
) x order by customer
