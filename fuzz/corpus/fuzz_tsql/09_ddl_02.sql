create table t (id int identity(1,1) primary key, name nvarchar(10))
create nonclustered index ix_t_name on dbo.t(name)
alter table t add memo nvarchar(50) null
insert into t(name, memo) values('a', 'm')
drop index ix_t_name on t
select name, memo from t
