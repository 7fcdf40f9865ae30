create table t (id int identity(1,1) primary key, name nvarchar(20))
insert into t(name) values(N'甲')
insert into t(name) values(N'乙')
insert into t(name) values(N'丙')


select top 2 name from dbo.t with(nolock) order by id desc
