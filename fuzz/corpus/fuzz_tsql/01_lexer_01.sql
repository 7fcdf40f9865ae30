create table [order details] ([key] int, "the name" nvarchar(10))
insert into [order details]([key], "the name") values(1, N'甲')


select [key], [the name] from dbo.[order details]
