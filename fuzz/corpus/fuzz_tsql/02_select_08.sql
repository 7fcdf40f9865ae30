create table t (id int, name nvarchar(10))
insert into t values(1, N'甲')
insert into t values(2, N'乙')


select id, name into #copy from t where id > 1
select * from #copy
