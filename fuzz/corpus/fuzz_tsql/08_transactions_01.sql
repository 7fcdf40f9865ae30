create table t (id int)


begin tran
insert into t values(1)
begin tran
insert into t values(2)
rollback tran
select @@trancount
