create table dbo.qd_sys_tickets (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  biztype varchar(30),
  bizid int,
  msg nvarchar(max),
  isdone bit not null default (0),
  amount decimal(18,4) default 0,
  memo ntext null,
  photo varbinary(max),
  lastupdate datetime default getdate()
)
insert into qd_sys_tickets(biztype, bizid, msg) values('BILL', 7, N'请尽快处理')
insert into qd_sys_tickets(biztype, bizid, msg) values('BILL', 8, N'第二条')
select id, orgid, isdone, amount, case when abs(datediff(second, lastupdate, getdate())) < 5 then 'now' end from qd_sys_tickets order by id
