create table t (code varchar(10), name nvarchar(10), qty int, price money)
insert into t values('A1', N'苹果', 2, 3.5)


select code + '-' + name, qty + price, t.code + t.name from t
