create table bill (id int identity(1,1) primary key, billno varchar(20), status int, version int not null)
insert into bill(billno, status, version) values('A1', 0, 1)


begin tran
begin try
update bill set status=1, version=2 where id=1
end try
begin catch
if (@@trancount>0) rollback tran
raiserror('数据错误异常.', 16, 1)
end catch
if (@@trancount>0) commit tran
