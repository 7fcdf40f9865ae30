create table t (a int, b nvarchar(10))
insert into t values(NULL, NULL)


select isnull(a, 0), isnull(b, '') + 'x', isnull(null, N'空') from t
