create table t (id int)


begin tran
insert into t values(1)
save tran s1
insert into t values(2)
rollback tran s1
commit
