-- 商品资料 (SP): its table, its categories, its registry row with the list's descriptor and
-- columns, the rights of the 店长 role and its print template's row (the plug-in brings the
-- template itself). T-SQL as the framework's own scripts: runs on SQL Server and on the embedded
-- database through qdsql. Checked with: qdsql --check-descriptor <descriptor> --as form:CategorisedList
create table dbo.shop_goods (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  p1 int not null default 0,
  p2 int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(100) null,
  helpcode varchar(30) null,
  barcode varchar(30) null,
  unit nvarchar(10) null,
  price money null default 0,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '01', N'纸品文具', 'SP', 2)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '02', N'耗材', 'SP', 1)

insert into shop_goods(orgid, p1, code, name, barcode, unit, price) select 1, id, 'SP001', N'A4 复印纸', '6901234567001', N'包', 24.5 from qd_b_category where iclass = 'SP' and code = '01'
insert into shop_goods(orgid, p1, code, name, barcode, unit, price) select 1, id, 'SP002', N'中性笔 0.5', '6901234567002', N'支', 2.8 from qd_b_category where iclass = 'SP' and code = '01'
insert into shop_goods(orgid, p1, code, name, barcode, unit, price) select 1, id, 'SP003', N'激光碳粉', '6901234567003', N'瓶', 168 from qd_b_category where iclass = 'SP' and code = '02'

insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'SP', N'商品资料', N'商品资料', N'基础资料', 'TMultiBasicRibbonForm', N'{"mainsql": "select t1.*, c1.code as p1_code, c1.name as p1_name from shop_goods t1 left join qd_b_category c1 on t1.p1 = c1.id where t1.orgid = :orgid and t1.isdel = 0", "sort": "t1.code", "tablename": "shop_goods", "key": "id", "ignoreFields": ["p1_code", "p1_name"], "validation": [{"datatype": "unique", "ele": "code", "errormsg": "该编号已被其他商品使用，请修改编号。", "checksql": "select id from shop_goods where orgid = ''%s'' and code = ''%s'' and id <> %d"}], "params": [{"name": "name", "title": "名称", "type": "text", "paramsql": "and t1.name like N''%%%s%%''"}], "filter": {"mainsql": "select t1.*, c1.code as p1_code, c1.name as p1_name from shop_goods t1 left join qd_b_category c1 on t1.p1 = c1.id where t1.orgid = :orgid and t1.isdel = 0"}}', N'[{"fieldname": "code", "label": "编号", "width": "80"}, {"fieldname": "name", "label": "名称", "width": "140"}, {"fieldname": "barcode", "label": "条码", "width": "120"}, {"fieldname": "unit", "label": "单位", "width": "50"}, {"fieldname": "price", "label": "售价", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}, {"fieldname": "p1_code", "label": "分类编号", "width": "60", "visiable": "false"}, {"fieldname": "p1_name", "label": "分类名称", "width": "60", "visiable": "false"}]', 13)

insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SP_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SP_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SP_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SP_06')

insert into qd_sys_printdocs(orgid, modulecode, code, docname, docfile, owner, ck_id, isort) values(1, 'SP', '01', N'商品清单', null, 0, 1, 0)
