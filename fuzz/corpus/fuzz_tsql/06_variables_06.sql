create table qd_sys_columnconfig (id int identity(1,1) primary key, orgid varchar(10) not null default '', billcode varchar(50), ck_id int, cxgname varchar(100), columnstyle varbinary(max))


declare
@orgid varchar(10),
@billcode varchar(50),
@ck_id int,
@cxgname varchar(100)
set @orgid=:orgid
set @billcode=:billcode
set @ck_id = :ck_id
set @cxgname = :cxgname
delete from qd_sys_columnconfig where orgid=@orgid and billcode=@billcode and ck_id=@ck_id and cxgname=@cxgname
insert into qd_sys_columnconfig(orgid,billcode,ck_id,cxgname,columnstyle)
values(@orgid, @billcode, @ck_id,@cxgname,:columnstyle)
