create table t (a int, b nvarchar(5))
insert into t values(3, N'丙')
insert into t values(1, N'甲')
insert into t values(2, N'乙')


select b from t order by a offset 0 rows fetch next 1 rows only
