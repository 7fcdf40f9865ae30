create table t (id int, name nvarchar(10))
insert into t values(1, N'甲')
insert into t values(2, N'乙')


declare @id int = 2, @name nvarchar(10)
select @name = name from t where id = @id
select @id, @name
