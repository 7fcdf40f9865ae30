create table t (id int)


begin tran
begin tran
insert into t values(1)
select @@trancount
commit tran
select @@trancount
commit tran
select @@trancount
