-- Demo organisation (orgid 1): a print-shop chain with four stores. T-SQL, run once on a new
-- database after the framework schema. Passwords: admin / admin, every other user 123456.

-- Settings.
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'company', N'京华印务连锁有限公司')
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'addr', N'北京市朝阳区建国路88号现代城A座12层')
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'tel', N'010-65001001')
-- The footer is a print expression of its own: a quoted text.
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'footer', N'''感谢您的惠顾！京华印务 · 专业快印二十年''')
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'dateformat', N'yyyy-MM-dd')

-- Stores.
insert into qd_b_ckbmk(orgid, code, name, billtag, tel, addr, isort, rootdir) values(1, 'MD01', N'总店', 'Z', '010-65001001', N'北京市朝阳区建国路88号', 4, N'D:\订单文件\总店')
insert into qd_b_ckbmk(orgid, code, name, billtag, tel, addr, isort, rootdir) values(1, 'MD02', N'东城分店', 'D', '010-65002002', N'北京市东城区王府井大街10号', 3, N'D:\订单文件\东城分店')
insert into qd_b_ckbmk(orgid, code, name, billtag, tel, addr, isort, rootdir) values(1, 'MD03', N'海淀分店', 'H', '010-62003003', N'北京市海淀区中关村大街27号', 2, N'D:\订单文件\海淀分店')
insert into qd_b_ckbmk(orgid, code, name, billtag, tel, addr, isort, rootdir) values(1, 'MD04', N'天津分店', 'T', '022-23004004', N'天津市和平区南京路189号', 1, N'D:\订单文件\天津分店')

-- Employees; every login is one of them (its id is the session's user id).
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 1, 'admin', N'系统管理员', '13943464097', 7)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 1, '1001', N'王建国', '13920246633', 6)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 2, '2001', N'李晓梅', '13952992312', 5)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 1, '3001', N'张伟', '13987366946', 4)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 3, '2002', N'陈静', '13906480894', 3)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 1, '4001', N'刘芳', '13909722233', 2)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 4, '3002', N'赵磊', '13971924865', 1)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, isort) values(1, 2, '3003', N'孙丽', '13912633920', 0)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, memo, isort, isdel) values(1, 3, '3004', N'周强', '13966021587', N'已离职', 0, 1)
insert into qd_b_ygbmk(orgid, ck_id, code, name, mobile, memo, isort, isdel) values(1, 4, '3005', N'吴敏', '13930785214', N'实习期满', 0, 1)

-- Users: code, employee, administrator, data scope (0 own, 1 store, 2 all), home store.
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, 'admin', N'系统管理员', 1, 'cce7a2cf1ae045989cfc914fb95a4152', 'bca7a3d9a15a884efe203d0b926b25aad6958d631a61fc42d27b2952b0f669f7', 1, 2, 1)
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, '1001', N'王建国', 2, 'e89c5297ce8a8d466e85b46098881e50', '973c735c4b0cb09a43e040583a00465a2056cc4a18f54d1ba9dc4f7becf76437', 0, 2, 1)
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, '2001', N'李晓梅', 3, 'e1fba8c2d38a1812369286f316d5bb20', '0127306cea4264fa4bdecde86991046bd3823e131b13f2a0da4df25cf65da566', 0, 1, 2)
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, '3001', N'张伟', 4, 'a94a4c592602474e29b69d4b10b7606a', 'b444e8f68ef426bad362693ef35fc19e185e5766cd2ec7bea05262bb98b96fed', 0, 0, 1)
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, '2002', N'陈静', 5, 'e62b8899606707d0ec9461d2cb8cf458', '6ba0184879779ebdef790cfda807e4b0bb2b0443342859a97010ab55bc631066', 0, 1, 3)
insert into qd_sys_users(orgid, code, name, yg_id, pwdsalt, pwdhash, isadmin, datascope, ck_id) values(1, '4001', N'刘芳', 6, 'f1d0b9774c0eb10f10081a19e690dec4', '598263689dbaf5fdeb601f64a2f21a7872d99b2271626b2f266d8a98d5ae6d53', 0, 2, 1)

-- Stores each user may work in (by employee id).
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 2, 1)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 2, 2)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 2, 3)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 2, 4)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 3, 2)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 4, 1)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 5, 3)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 6, 1)
insert into qd_auth_ck_access(orgid, uid, ck_id) values(1, 6, 4)

-- Modules of the demo (the plug-in registry).
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'KH', N'客户资料', N'客户资料', N'基础资料', 'TMultiBasicRibbonForm', N'{"mainsql": "select t1.*, c.code as ck_code, c.name as ck_name from qd_b_khbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0", "sort": "t1.code", "tablename": "qd_b_khbmk", "key": "id", "ignoreFields": ["ck_code", "ck_name"], "validation": [{"datatype": "unique", "ele": "code", "errormsg": "该编号已被其他客户使用，请修改编号。", "checksql": "select id from qd_b_khbmk where orgid = ''%s'' and code = ''%s'' and id <> %d"}], "params": [{"name": "code", "title": "编号", "type": "text", "paramsql": "and t1.code like ''%%%s%%''"}, {"name": "name", "title": "名称", "type": "text", "paramsql": "and t1.name like N''%%%s%%''"}, {"name": "ck_id", "title": "所属门店", "type": "lookupcombobox", "paramsql": "and t1.ck_id = %s", "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid order by code", "keyfieldnames": "id", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "门店", "width": "100"}]}}, {"name": "createdate", "title": "建档日期起", "type": "date", "deftype": "fun", "defvalue": "bt", "paramsql": "and t1.createdate >= ''%s''"}, {"name": "xm_code", "title": "订购项目", "type": "button", "event": "项目资料", "paramsql": "and exists(select 1 from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno join qd_b_xmbmk x on x.id = d.xm_id where m.orgid = t1.orgid and m.kh_id = t1.id and x.code = ''%s'')"}], "expand": [{"key": "开票抬头"}, {"key": "税号"}, {"key": "开户银行"}, {"key": "银行账号"}], "filter": {"mainsql": "select t1.*, c.code as ck_code, c.name as ck_name from qd_b_khbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0"}}', N'[{"fieldname": "code", "label": "编号", "width": "70"}, {"fieldname": "name", "label": "名称", "width": "170"}, {"fieldname": "ck_id", "label": "所属门店", "width": "100", "type": "lookupcombobox", "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid order by code", "keyfieldnames": "id", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60", "target": "ck_code"}, {"fieldname": "name", "caption": "门店", "width": "100", "target": "ck_name"}]}}, {"fieldname": "linkman", "label": "联系人", "width": "60"}, {"fieldname": "mobile", "label": "手机", "width": "100"}, {"fieldname": "addr", "label": "地址", "width": "150"}, {"fieldname": "credit", "label": "信用额度", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "helpcode", "label": "助记码", "width": "80"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}, {"fieldname": "ck_code", "label": "门店编号", "width": "50", "visiable": "false"}, {"fieldname": "ck_name", "label": "门店名称", "width": "50", "visiable": "false"}]', 10)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'YG', N'员工资料', N'员工资料', N'基础资料', 'TSingleBasicRibbonForm', N'{"mainsql": "select t1.*, c.code as ck_code, c.name as ck_name from qd_b_ygbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0", "sort": "t1.code", "tablename": "qd_b_ygbmk", "key": "id", "ignoreFields": ["ck_code", "ck_name"], "validation": [{"datatype": "required", "ele": "code", "errormsg": "请输入编号"}, {"datatype": "required", "ele": "name", "errormsg": "请输入姓名"}, {"datatype": "unique", "ele": "code", "errormsg": "该编号已被其他员工使用，请修改编号。", "checksql": "select id from qd_b_ygbmk where orgid = ''%s'' and code = ''%s'' and id <> %d"}]}', N'[{"fieldname": "code", "label": "编号", "width": "70"}, {"fieldname": "name", "label": "姓名", "width": "80"}, {"fieldname": "ck_id", "label": "所属门店", "width": "110", "type": "lookupcombobox", "join": {"sql": "select id, code, name from qd_b_ckbmk where orgid = :orgid order by code", "keyfieldnames": "id", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60", "target": "ck_code"}, {"fieldname": "name", "caption": "门店", "width": "100", "target": "ck_name"}]}}, {"fieldname": "mobile", "label": "手机", "width": "110"}, {"fieldname": "helpcode", "label": "助记码", "width": "70"}, {"fieldname": "isort", "label": "排序", "width": "50"}, {"fieldname": "memo", "label": "备注", "width": "180"}, {"fieldname": "lastupdate", "label": "更新日期", "width": "90", "type": "date", "editing": "false"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}, {"fieldname": "ck_code", "label": "门店编号", "width": "60", "visiable": "false"}, {"fieldname": "ck_name", "label": "门店名称", "width": "80", "visiable": "false"}]', 11)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'XM', N'项目资料', N'项目资料', N'基础资料', 'TMultiBasicRibbonForm', N'{"mainsql": "select t1.*, c1.code as p1_code, c1.name as p1_name, c2.code as p2_code, c2.name as p2_name from qd_b_xmbmk t1 left join qd_b_category c1 on t1.p1 = c1.id left join qd_b_category c2 on t1.p2 = c2.id where t1.orgid = :orgid and t1.isdel = 0", "sort": "t1.code", "tablename": "qd_b_xmbmk", "key": "id", "ignoreFields": ["p1_code", "p1_name", "p2_code", "p2_name"], "validation": [{"datatype": "unique", "ele": "code", "errormsg": "该编号已被其他项目使用，请修改编号。", "checksql": "select id from qd_b_xmbmk where orgid = ''%s'' and code = ''%s'' and id <> %d"}], "params": [{"name": "name", "title": "名称", "type": "text", "paramsql": "and t1.name like N''%%%s%%''"}, {"name": "baseunit", "title": "单位", "type": "combo", "items": ["盒", "张", "本", "套", "米", "平方米"], "paramsql": "and t1.baseunit = N''%s''"}, {"name": "kh_code", "title": "订购客户", "type": "button", "event": "客户资料", "paramsql": "and exists(select 1 from qd_x_xmzzk_mx d join qd_x_xmzzk m on m.orgid = d.orgid and m.billno = d.billno join qd_b_khbmk k on k.id = m.kh_id where d.orgid = t1.orgid and d.xm_id = t1.id and k.code = ''%s'')"}], "filter": {"mainsql": "select t1.*, c1.code as p1_code, c1.name as p1_name, c2.code as p2_code, c2.name as p2_name from qd_b_xmbmk t1 left join qd_b_category c1 on t1.p1 = c1.id left join qd_b_category c2 on t1.p2 = c2.id where t1.orgid = :orgid and t1.isdel = 0"}}', N'[{"fieldname": "code", "label": "编号", "width": "80"}, {"fieldname": "name", "label": "名称", "width": "110"}, {"fieldname": "p1", "label": "一级分类", "width": "100", "type": "lookupcombobox", "join": {"sql": "select id, code, name from qd_b_category where orgid = :orgid and iclass = '':iclass'' and pid = 0 and isdel = 0 order by code", "keyfieldnames": "id", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60", "target": "p1_code"}, {"fieldname": "name", "caption": "名称", "width": "100", "target": "p1_name"}]}}, {"fieldname": "itemno", "label": "规格", "width": "140"}, {"fieldname": "baseunit", "label": "单位", "width": "60", "type": "combo", "items": ["盒", "张", "本", "套", "米", "平方米"]}, {"fieldname": "dj", "label": "单价", "width": "90", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "lastupdate", "label": "更新日期", "width": "100", "type": "date"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}, {"fieldname": "p1_code", "label": "分类编号", "width": "60", "visiable": "false"}, {"fieldname": "p1_name", "label": "分类名称", "width": "60", "visiable": "false"}]', 12)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'ZY', N'摘要资料', N'摘要资料', N'基础资料', 'TSingleBasicRibbonForm', N'{"mainsql": "select * from qd_b_zybmk where orgid = :orgid and isdel = 0", "sort": "isort desc, code", "tablename": "qd_b_zybmk", "key": "id", "ignoreFields": [], "validation": [{"datatype": "required", "ele": "name", "errormsg": "请输入摘要内容"}, {"datatype": "unique", "ele": "name", "errormsg": "该摘要已存在。", "checksql": "select id from qd_b_zybmk where orgid = ''%s'' and name = N''%s'' and id <> %d and isdel = 0"}]}', N'[{"fieldname": "code", "label": "编号", "width": "80"}, {"fieldname": "name", "label": "摘要", "width": "260"}, {"fieldname": "helpcode", "label": "助记码", "width": "100"}, {"fieldname": "isort", "label": "排序", "width": "60"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}]', 13)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'CK', N'门店资料', N'门店资料', N'基础资料', 'TSingleBasicRibbonForm', N'{"mainsql": "select * from qd_b_ckbmk where orgid = :orgid and isdel = 0", "sort": "isort desc, code", "tablename": "qd_b_ckbmk", "key": "id", "ignoreFields": [], "validation": [{"datatype": "required", "ele": "code", "errormsg": "请输入编号"}, {"datatype": "required", "ele": "name", "errormsg": "请输入门店名称"}, {"datatype": "unique", "ele": "code", "errormsg": "该编号已被其他门店使用，请修改编号。", "checksql": "select id from qd_b_ckbmk where orgid = ''%s'' and code = ''%s'' and id <> %d"}]}', N'[{"fieldname": "code", "label": "编号", "width": "70"}, {"fieldname": "name", "label": "门店名称", "width": "120"}, {"fieldname": "linkman", "label": "负责人", "width": "70"}, {"fieldname": "tel", "label": "电话", "width": "110"}, {"fieldname": "addr", "label": "地址", "width": "220"}, {"fieldname": "helpcode", "label": "助记码", "width": "70"}, {"fieldname": "isort", "label": "排序", "width": "50"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}]', 14)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'XMZZK', N'订单', N'订单', N'业务单据', 'TOrderBillForm', N'{"title": "订单", "reprintright": "true", "data": {"master": {"tablename": "qd_x_xmzzk", "ignorefields": ["kh_code", "kh_name", "ck_code", "ck_name", "kdr_code", "kdr_name", "ywy_code", "ywy_name", "prevBillNo", "NextBillNo"], "sql": "select a.*, kh.code as kh_code, kh.name as kh_name, ck.code as ck_code, ck.name as ck_name, kdr.code as kdr_code, kdr.name as kdr_name, ywy.code as ywy_code, ywy.name as ywy_name, (select top 1 p.billno from qd_x_xmzzk p where p.orgid = a.orgid and p.ck_id = a.ck_id and p.billno < a.billno order by p.billno desc) as prevBillNo, (select top 1 n.billno from qd_x_xmzzk n where n.orgid = a.orgid and n.ck_id = a.ck_id and n.billno > a.billno order by n.billno) as NextBillNo from qd_x_xmzzk a left join qd_b_khbmk kh on kh.id = a.kh_id left join qd_b_ckbmk ck on ck.id = a.ck_id left join qd_b_ygbmk kdr on kdr.id = a.kdr_id left join qd_b_ygbmk ywy on ywy.id = a.ywy_id where a.orgid = :orgid and a.billno = case when :billno = '''' then (select top 1 n.billno from qd_x_xmzzk n join qd_sys_users u on u.orgid = n.orgid and u.yg_id = n.kdr_id where n.orgid = :orgid and n.ck_id = :store and u.code = :userCode order by n.id desc) else :billno end"}, "detail": {"columns": [{"fieldname": "xm_id", "label": "项目", "width": "110", "type": "lookupcombobox", "join": {"sql": "select id, code, name, helpcode, itemno, baseunit, dj from qd_b_xmbmk where orgid = :orgid and isdel = 0 order by code", "keyfieldnames": "id", "listfieldnames": "name", "fields": [{"fieldname": "name", "caption": "项目", "width": "110", "target": "gcxmmc"}, {"fieldname": "itemno", "caption": "规格", "width": "150", "target": "itemno"}, {"fieldname": "baseunit", "caption": "单位", "width": "50", "target": "baseunit"}, {"fieldname": "dj", "caption": "单价", "width": "70", "visiable": "false", "target": "dj"}]}}, {"fieldname": "gcxmmc", "label": "项目名称", "width": "150", "type": "button", "event": "select", "target": "项目资料"}, {"fieldname": "itemno", "label": "规格", "width": "150"}, {"fieldname": "baseunit", "label": "单位", "width": "60", "type": "combo", "items": ["盒", "张", "个", "套", "本", "米", "平方米", "件"]}, {"fieldname": "sl", "label": "数量", "width": "70", "type": "money", "decimal": "2", "format": "0.##", "footer": "TRUE"}, {"fieldname": "dj", "label": "单价", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "zk", "label": "折扣", "width": "60", "type": "money", "decimal": "2", "format": "0.00"}, {"fieldname": "je", "label": "金额", "width": "90", "type": "金额", "decimal": "2", "format": "#,##0.00", "editing": "false", "footer": "true", "kind": "sum"}, {"fieldname": "filename", "label": "设计文件", "width": "150"}, {"fieldname": "beizhu", "label": "备注", "width": "160"}], "tablename": "qd_x_xmzzk_mx", "sql": "select d.* from qd_x_xmzzk_mx d where d.orgid = :orgid and d.billno = :billno order by d.id"}}, "properties": {"kh_id": {"sql": "select id, code, name, helpcode, mobile from qd_b_khbmk where orgid = :orgid and isdel = 0 order by code", "keyfieldnames": "id", "listfieldnames": "name;code", "listfieldindex": "0", "columns": [{"fieldname": "code", "caption": "编号", "width": "70"}, {"fieldname": "name", "caption": "客户", "width": "180"}, {"fieldname": "mobile", "caption": "手机", "width": "100"}]}, "ywy_id": {"sql": "select id, code, name, helpcode from qd_b_ygbmk where orgid = :orgid and isdel = 0 order by code", "keyfieldnames": "id", "listfieldnames": "name;code", "listfieldindex": "0", "columns": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "业务员", "width": "100"}]}}}', 20)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'SKD', N'收款单', N'收款单', N'业务单据', 'TReceiptBillForm', N'{"title": "收款单", "data": {"master": {"tablename": "qd_x_skd", "ignorefields": ["kh_code", "kh_name", "ck_name", "kdr_name", "prevBillNo", "NextBillNo"], "sql": "select a.*, kh.code as kh_code, kh.name as kh_name, ck.name as ck_name, kdr.name as kdr_name, (select top 1 p.billno from qd_x_skd p where p.orgid = a.orgid and p.ck_id = a.ck_id and p.billno < a.billno order by p.billno desc) as prevBillNo, (select top 1 n.billno from qd_x_skd n where n.orgid = a.orgid and n.ck_id = a.ck_id and n.billno > a.billno order by n.billno) as NextBillNo from qd_x_skd a left join qd_b_khbmk kh on kh.id = a.kh_id left join qd_b_ckbmk ck on ck.id = a.ck_id left join qd_b_ygbmk kdr on kdr.id = a.kdr_id where a.orgid = :orgid and a.billno = case when :billno = '''' then (select top 1 n.billno from qd_x_skd n join qd_sys_users u on u.orgid = n.orgid and u.yg_id = n.kdr_id where n.orgid = :orgid and n.ck_id = :store and u.code = :userCode order by n.id desc) else :billno end"}, "detail": {"columns": [{"fieldname": "xmzzk_billno", "label": "订单", "width": "110", "type": "lookupcombobox", "join": {"sql": "select billno, gcxmmc, je from qd_x_xmzzk where orgid = :orgid order by billno", "keyfieldnames": "billno", "listfieldnames": "billno", "fields": [{"fieldname": "billno", "caption": "订单", "width": "100", "target": "xmzzk_billno"}, {"fieldname": "gcxmmc", "caption": "项目名称", "width": "120", "target": "gcxmmc"}, {"fieldname": "je", "caption": "订单金额", "width": "90", "target": "ddje"}]}}, {"fieldname": "gcxmmc", "label": "项目名称", "width": "160", "editing": "false"}, {"fieldname": "ddje", "label": "订单金额", "width": "100", "type": "money", "decimal": "2", "format": "#,##0.00", "editing": "false"}, {"fieldname": "je", "label": "本次收款", "width": "100", "type": "money", "decimal": "2", "format": "#,##0.00", "footer": "true", "kind": "sum"}, {"fieldname": "beizhu", "label": "备注", "width": "200"}], "tablename": "qd_x_skd_mx", "sql": "select d.* from qd_x_skd_mx d where d.orgid = :orgid and d.billno = :billno order by d.id"}}, "properties": {"kh_id": {"sql": "select id, code, name, helpcode, mobile from qd_b_khbmk where orgid = :orgid and isdel = 0 order by code", "keyfieldnames": "id", "listfieldnames": "name;code", "listfieldindex": "0", "columns": [{"fieldname": "code", "caption": "编号", "width": "70"}, {"fieldname": "name", "caption": "客户", "width": "180"}, {"fieldname": "mobile", "caption": "手机", "width": "100"}]}}}', 21)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'RPT', N'报表查询', N'报表查询', N'报表查询', 'TBaseReportForm', '{}', 30)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'RPT01', N'订单明细表', N'订单明细表', N'报表查询', 'TBaseReportForm', '{}', 31)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'RPT02', N'客户消费汇总', N'客户消费汇总', N'报表查询', 'TBaseReportForm', '{}', 32)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'SMS', N'短信发送', N'短信发送', N'系统工具', 'TAlidayusmsSendMutilForm', '{}', 40)
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, isort) values(1, 'CHK', N'数据检查', N'数据检查', N'系统工具', 'Tdatacheckupform', '{}', 41)

-- Roles and their rights; users hold the rights of their roles and their own.
insert into qd_sys_roles(orgid, code, name) values(1, 'DZ', N'店长')
insert into qd_sys_roles(orgid, code, name) values(1, 'DY', N'店员')
insert into qd_sys_roles(orgid, code, name) values(1, 'XS', N'销售')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'KH_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'YG_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XM_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'ZY_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CK_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_062')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'XMZZK_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SKD_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT01_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'RPT02_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'SMS_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_05')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_061')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'CHK_20')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'KH_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'KH_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'KH_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'KH_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'YG_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'YG_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'YG_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'YG_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XM_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XM_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XM_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XM_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'ZY_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'ZY_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'ZY_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'ZY_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XMZZK_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XMZZK_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XMZZK_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'XMZZK_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'SKD_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'SKD_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'SKD_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'SKD_10')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, 'KH_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, 'KH_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, 'XMZZK_01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, 'XMZZK_06')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, '2100_RPT01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, '2100_RPT01')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, '2100_RPT02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, '2100_RPT02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, '2100_RPT00')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, '2100_RPT03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, '2100_RPT04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, '2100_RPT00')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, '2100_RPT03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, '2100_RPT04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, '2100_RPT00')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, '2100_RPT03')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, '2100_RPT04')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 3, '2100_RPT01')
insert into qd_sys_userroles(orgid, userid, roleid) values(1, 2, 1)
insert into qd_sys_userroles(orgid, userid, roleid) values(1, 3, 2)
insert into qd_sys_userroles(orgid, userid, roleid) values(1, 4, 3)
insert into qd_sys_userroles(orgid, userid, roleid) values(1, 5, 2)
insert into qd_sys_userroles(orgid, userid, roleid) values(1, 6, 1)
insert into qd_sys_userrights(orgid, userid, rightcode) values(1, 4, 'XM_02')

-- Reports of the catalogue: each names its statement, parameters, banded columns and drill-down.
insert into qd_sys_rptmain(orgid, code, title, groupname, pluginfo, isort) values(1, 'RPT00', N'报表查询', N'报表查询', N'{"mainsql": "select code, title, groupname from qd_sys_rptmain where orgid = :orgid order by isort", "params": [], "columns": [{"band": "报表", "columns": [{"fieldname": "code", "label": "编号", "width": "80"}, {"fieldname": "title", "label": "报表名称", "width": "200"}, {"fieldname": "groupname", "label": "分组", "width": "120"}]}], "event": {"type": "field", "name": "title", "event": "report"}}', 0)
insert into qd_sys_rptmain(orgid, code, title, groupname, pluginfo, isort) values(1, 'RPT01', N'订单明细表', N'报表查询', N'{"mainsql": "select m.billno, m.billdate, ck.name as ck_name, kdr.name as kdr_name, kh.code as kh_code, kh.name as kh_name, case m.status when 1 then N''已审核'' else N''未审核'' end as status, d.gcxmmc, d.sl, d.dj, d.je from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno left join qd_b_ckbmk ck on ck.id = m.ck_id left join qd_b_ygbmk kdr on kdr.id = m.kdr_id left join qd_b_khbmk kh on kh.id = m.kh_id where m.orgid = :orgid and m.ck_id in (select a.ck_id from qd_auth_ck_access a where a.orgid = :orgid and a.uid = :userid) and m.billdate >= coalesce(:bt, ''1900-01-01'') and m.billdate < dateadd(day, 1, :et) and (:ck_code is null or ck.code = :ck_code) and (:kdr_code is null or kdr.code = :kdr_code) and (:kh_code is null or kh.code = :kh_code) and (:gcxmmc is null or d.gcxmmc like N''%'' + :gcxmmc + N''%'') order by m.billdate, m.billno, d.id", "params": [{"name": "bt", "title": "开始日期", "type": "date", "deftype": "fun", "defvalue": "bt"}, {"name": "et", "title": "结束日期", "type": "date", "deftype": "fun", "defvalue": "et", "required": "true"}, {"name": "ck_code", "title": "门店", "type": "lookupcombobox", "deftype": "", "defvalue": "", "join": {"sql": "", "keyfieldnames": "code", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "名称", "width": "100"}]}}, {"name": "kdr_code", "title": "开单人", "type": "lookupcombobox", "deftype": "", "defvalue": "", "join": {"sql": "", "keyfieldnames": "code", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "名称", "width": "100"}]}}, {"name": "kh_code", "title": "客户", "type": "button", "deftype": "", "defvalue": "", "event": "客户资料"}, {"name": "gcxmmc", "title": "项目名称", "type": "text", "deftype": "", "defvalue": ""}], "columns": [{"band": "订单", "columns": [{"fieldname": "billno", "label": "单号", "width": "100"}, {"fieldname": "billdate", "label": "日期", "width": "120", "type": "date"}, {"fieldname": "ck_name", "label": "门店", "width": "80"}, {"fieldname": "kdr_name", "label": "开单人", "width": "70"}, {"fieldname": "kh_name", "label": "客户", "width": "150"}, {"fieldname": "status", "label": "状态", "width": "70", "type": "combo", "items": ["未审核", "已审核"]}]}, {"band": "明细", "columns": [{"fieldname": "gcxmmc", "label": "项目", "width": "110"}, {"fieldname": "sl", "label": "数量", "width": "70", "type": "money", "decimal": "2", "format": "0.##", "footer": "true"}, {"fieldname": "dj", "label": "单价", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "je", "label": "金额", "width": "90", "type": "money", "decimal": "2", "format": "#,##0.00", "footer": "true", "kind": "sum"}]}], "event": {"type": "str", "name": "订单", "event": "bill", "keyfield": "billno"}}', 1)
insert into qd_sys_rptmain(orgid, code, title, groupname, pluginfo, isort) values(1, 'RPT02', N'客户消费汇总', N'报表查询', N'{"mainsql": "select kh.code, kh.name, count(distinct m.billno) as orders, sum(d.je) as je, max(m.billdate) as lastdate from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno join qd_b_ckbmk ck on ck.id = m.ck_id join qd_b_khbmk kh on kh.id = m.kh_id where m.orgid = :orgid and m.ck_id in (select a.ck_id from qd_auth_ck_access a where a.orgid = :orgid and a.uid = :userid) and m.billdate >= coalesce(:bt, ''1900-01-01'') and m.billdate < dateadd(day, 1, :et) and (:ck_code is null or ck.code = :ck_code) group by kh.code, kh.name order by sum(d.je) desc", "params": [{"name": "bt", "title": "开始日期", "type": "date", "deftype": "fun", "defvalue": "bt"}, {"name": "et", "title": "结束日期", "type": "date", "deftype": "fun", "defvalue": "et", "required": "true"}, {"name": "ck_code", "title": "门店", "type": "lookupcombobox", "deftype": "", "defvalue": "", "join": {"sql": "", "keyfieldnames": "code", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "名称", "width": "100"}]}}], "columns": [{"band": "客户", "columns": [{"fieldname": "code", "label": "编号", "width": "80"}, {"fieldname": "name", "label": "名称", "width": "180"}, {"fieldname": "orders", "label": "订单数", "width": "70", "footer": "true"}, {"fieldname": "je", "label": "金额", "width": "100", "type": "money", "decimal": "2", "format": "#,##0.00", "footer": "true"}, {"fieldname": "lastdate", "label": "最近下单", "width": "130", "type": "date"}]}], "event": {"type": "str", "name": "订单明细表", "event": "report", "params": [{"type": "param", "name": "bt", "value": "bt"}, {"type": "param", "name": "et", "value": "et"}, {"type": "param", "name": "ck_code", "value": "ck_code"}, {"type": "field", "name": "kh_code", "value": "code"}]}}', 2)
insert into qd_sys_rptmain(orgid, code, title, groupname, pluginfo, isort) values(1, 'RPT03', N'订单查询', N'报表查询', N'{"mainsql": "select m.billno, m.billdate, ck.name as ck_name, kdr.name as kdr_name, ywy.name as ywy_name, kh.name as kh_name, m.gcxmmc, m.zy, m.je, case m.status when 1 then N''已审核'' else N''未审核'' end as status, m.auditdate, m.printcount, m.beizhu from qd_x_xmzzk m left join qd_b_ckbmk ck on ck.id = m.ck_id left join qd_b_ygbmk kdr on kdr.id = m.kdr_id left join qd_b_ygbmk ywy on ywy.id = m.ywy_id left join qd_b_khbmk kh on kh.id = m.kh_id where m.orgid = :orgid and m.ck_id in (select a.ck_id from qd_auth_ck_access a where a.orgid = :orgid and a.uid = :userid) and m.billdate >= coalesce(:bt, ''1900-01-01'') and m.billdate < dateadd(day, 1, :et) and (:ck_code is null or ck.code = :ck_code) order by m.billdate desc, m.billno", "params": [{"name": "bt", "title": "开始日期", "type": "date", "deftype": "fun", "defvalue": "bt"}, {"name": "et", "title": "结束日期", "type": "date", "deftype": "fun", "defvalue": "et", "required": "true"}, {"name": "ck_code", "title": "门店", "type": "lookupcombobox", "deftype": "", "defvalue": "", "join": {"sql": "", "keyfieldnames": "code", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "名称", "width": "100"}]}}], "columns": [{"band": "订单", "columns": [{"fieldname": "billno", "label": "单号", "width": "100"}, {"fieldname": "billdate", "label": "日期", "width": "120", "type": "date"}, {"fieldname": "ck_name", "label": "门店", "width": "80"}, {"fieldname": "kdr_name", "label": "开单人", "width": "70"}, {"fieldname": "ywy_name", "label": "业务员", "width": "70"}, {"fieldname": "kh_name", "label": "客户", "width": "150"}, {"fieldname": "gcxmmc", "label": "项目名称", "width": "120"}, {"fieldname": "zy", "label": "摘要", "width": "120"}, {"fieldname": "je", "label": "金额", "width": "90", "type": "money", "decimal": "2", "format": "#,##0.00", "footer": "true"}, {"fieldname": "status", "label": "状态", "width": "70", "type": "combo", "items": ["未审核", "已审核"]}, {"fieldname": "auditdate", "label": "审核日期", "width": "120", "type": "date"}, {"fieldname": "printcount", "label": "打印次数", "width": "70"}, {"fieldname": "beizhu", "label": "备注", "width": "160"}]}], "event": {"type": "str", "name": "订单", "event": "bill"}}', 3)
insert into qd_sys_rptmain(orgid, code, title, groupname, pluginfo, isort) values(1, 'RPT04', N'订单明细查询', N'报表查询', N'{"mainsql": "select m.billno, m.billdate, ck.name as ck_name, kdr.name as kdr_name, kh.code as kh_code, kh.name as kh_name, case m.status when 1 then N''已审核'' else N''未审核'' end as status, d.gcxmmc, d.sl, d.dj, d.je from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno left join qd_b_ckbmk ck on ck.id = m.ck_id left join qd_b_ygbmk kdr on kdr.id = m.kdr_id left join qd_b_khbmk kh on kh.id = m.kh_id where m.orgid = :orgid and m.ck_id in (select a.ck_id from qd_auth_ck_access a where a.orgid = :orgid and a.uid = :userid) and m.billdate >= coalesce(:bt, ''1900-01-01'') and m.billdate < dateadd(day, 1, :et) and (:ck_code is null or ck.code = :ck_code) order by m.billdate, m.billno, d.id", "params": [{"name": "bt", "title": "开始日期", "type": "date", "deftype": "fun", "defvalue": "bt"}, {"name": "et", "title": "结束日期", "type": "date", "deftype": "fun", "defvalue": "et", "required": "true"}, {"name": "ck_code", "title": "门店", "type": "lookupcombobox", "deftype": "", "defvalue": "", "join": {"sql": "", "keyfieldnames": "code", "listfieldnames": "name", "fields": [{"fieldname": "code", "caption": "编号", "width": "60"}, {"fieldname": "name", "caption": "名称", "width": "100"}]}}], "columns": [{"band": "订单", "columns": [{"fieldname": "billno", "label": "单号", "width": "100"}, {"fieldname": "billdate", "label": "日期", "width": "120", "type": "date"}, {"fieldname": "ck_name", "label": "门店", "width": "80"}, {"fieldname": "kdr_name", "label": "开单人", "width": "70"}, {"fieldname": "kh_name", "label": "客户", "width": "150"}, {"fieldname": "status", "label": "状态", "width": "70", "type": "combo", "items": ["未审核", "已审核"]}]}, {"band": "明细", "columns": [{"fieldname": "gcxmmc", "label": "项目", "width": "110"}, {"fieldname": "sl", "label": "数量", "width": "70", "type": "money", "decimal": "2", "format": "0.##", "footer": "true"}, {"fieldname": "dj", "label": "单价", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "je", "label": "金额", "width": "90", "type": "money", "decimal": "2", "format": "#,##0.00", "footer": "true", "kind": "sum"}]}], "event": {"type": "str", "name": "订单", "event": "bill", "keyfield": "billno"}}', 4)

-- Item categories (two levels) and items.
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '01', N'数码快印', 'XM', 9)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 1, '0101', N'名片卡片', 'XM', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 1, '0102', N'单页折页', 'XM', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '02', N'喷绘写真', 'XM', 6)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 4, '0201', N'户外喷绘', 'XM', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 4, '0202', N'室内写真', 'XM', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '03', N'装订成册', 'XM', 3)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 7, '0301', N'画册', 'XM', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 7, '0302', N'标书', 'XM', 0)
-- Customer categories (ids 10 to 14, after the item categories).
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '01', N'企业客户', 'KH', 9)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 10, '0101', N'长期合作', 'KH', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 10, '0102', N'新签客户', 'KH', 0)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 0, '02', N'个人客户', 'KH', 5)
insert into qd_b_category(orgid, pid, code, name, iclass, isort) values(1, 13, '0201', N'会员', 'KH', 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 1, 2, 'XM001', N'名片', N'90x54mm 300g铜版纸', N'盒', 35, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 1, 2, 'XM002', N'会员卡', N'PVC 85.5x54mm', N'张', 1.5, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 1, 3, 'XM003', N'宣传单页', N'A4 157g双面', N'张', 0.35, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 1, 3, 'XM004', N'三折页', N'A4 200g', N'张', 0.8, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 4, 5, 'XM005', N'户外喷绘布', N'520加厚', N'平方米', 18, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 4, 5, 'XM006', N'条幅', N'0.7米宽', N'米', 8, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 4, 6, 'XM007', N'写真背胶', N'室内PP胶', N'平方米', 35, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 4, 6, 'XM008', N'易拉宝', N'80x200cm', N'套', 120, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 7, 8, 'XM009', N'企业画册', N'A4 胶装 20P', N'本', 45, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 7, 9, 'XM010', N'标书装订', N'A4 胶装', N'本', 25, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 1, 3, 'XM011', N'海报', N'A3 200g', N'张', 5, 0)
insert into qd_b_xmbmk(orgid, p1, p2, code, name, itemno, baseunit, dj, isort) values(1, 4, 6, 'XM012', N'X展架', N'60x160cm', N'套', 85, 0)

-- Summaries, production flow.
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY01', N'收取定金', 9)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY02', N'结清尾款', 8)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY03', N'退还押金', 7)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY04', N'材料采购', 6)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY05', N'运费', 5)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY06', N'加急费', 4)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY07', N'设计费', 3)
insert into qd_b_zybmk(orgid, code, name, isort) values(1, 'ZY08', N'安装费', 2)
insert into qd_b_zybmk(orgid, code, name, isort, isdel) values(1, 'ZY09', N'旧版会员折扣', 0, 1)
-- Help codes as the lists fill them when a name is typed.
update qd_b_zybmk set helpcode = case code when 'ZY01' then 'SQDJ' when 'ZY02' then 'JQWK' when 'ZY03' then 'THYJ' when 'ZY04' then 'CLCG' when 'ZY05' then 'YF' when 'ZY06' then 'JJF' when 'ZY07' then 'SJF' when 'ZY08' then 'AZF' else 'JBHYZK' end
update qd_b_ygbmk set helpcode = case code when 'admin' then 'XTGLY' when '1001' then 'WJG' when '2001' then 'LXM' when '3001' then 'ZW' when '2002' then 'CJ' when '4001' then 'LF' when '3002' then 'ZL' when '3003' then 'SL' when '3004' then 'ZQ' else 'WM' end
insert into qd_b_flow(orgid, code, name, isort) values(1, 'F01', N'设计', 1)
insert into qd_b_flow(orgid, code, name, isort) values(1, 'F02', N'印刷', 2)
insert into qd_b_flow(orgid, code, name, isort) values(1, 'F03', N'后道', 3)
insert into qd_b_flow(orgid, code, name, isort) values(1, 'F04', N'送货', 4)

-- SMS templates.
insert into qd_sys_alidayu(orgid, tpltype, tplname, tplid, tpltxt, tplparams) values(1, 1, N'订单完工通知', 'SMS_0001', N'您好${name}，您的订单$:billno已完工，请到${store}取件。', '[{"name":"name","title":"客户"},{"name":"billno","title":"订单号"},{"name":"store","title":"门店"}]')

-- Customers.
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values
(1, 2, 'K0001', N'北京华星科技有限公司', '13392655486', N'北京市朝阳区260号', 14070.04, '2026-02-14 10:26:00'),
(1, 3, 'K0002', N'朝阳区金桥广告工作室', '13075006691', N'天津市和平区47号', 36113.54, '2026-01-27 10:36:00'),
(1, 4, 'K0003', N'北京新东方文化传媒有限公司', '13132931336', N'天津市和平区299号', 4054.73, '2026-10-13 10:03:00'),
(1, 1, 'K0004', N'天津港湾物流有限公司', '13237384804', N'北京市朝阳区286号', 8727.37, '2026-07-05 10:34:00'),
(1, 2, 'K0005', N'海淀区博学教育培训学校', '13126478448', N'北京市丰台区287号', 44695.23, '2026-02-19 10:36:00'),
(1, 3, 'K0006', N'北京绿源餐饮管理有限公司', '13686028113', N'天津市和平区191号', 6385.70, '2026-02-19 10:03:00'),
(1, 4, 'K0007', N'东城区恒信律师事务所', '13664656492', N'天津市和平区255号', 44590.68, '2026-07-25 10:20:00'),
(1, 1, 'K0008', N'北京宏达建筑设计院', '13499936196', N'北京市通州区186号', 19645.31, '2026-03-23 10:49:00'),
(1, 2, 'K0009', N'赵娜', '13616782763', N'北京市丰台区269号', 32447.43, '2026-08-10 10:38:00'),
(1, 3, 'K0010', N'张敏', '13549683695', N'天津市河西区85号', 49619.43, '2026-03-16 10:26:00'),
(1, 4, 'K0011', N'李桂英', '13083344353', N'北京市西城区175号', 45566.44, '2026-10-16 10:37:00'),
(1, 1, 'K0012', N'胡娜', '13901908543', N'北京市海淀区139号', 31070.89, '2026-11-03 10:03:00'),
(1, 2, 'K0013', N'周刚', '13620565036', N'北京市通州区146号', 46964.49, '2026-11-12 10:01:00'),
(1, 3, 'K0014', N'胡艳', '13180440569', N'北京市海淀区253号', 3863.27, '2026-05-05 10:47:00'),
(1, 4, 'K0015', N'赵杰', '13419779047', N'北京市通州区42号', 10902.57, '2026-07-18 10:17:00'),
(1, 1, 'K0016', N'陈娟', '13927696258', N'北京市丰台区213号', 23512.87, '2026-07-08 10:09:00'),
(1, 2, 'K0017', N'张丽', '13162455407', N'天津市和平区120号', 790.62, '2026-10-06 10:16:00'),
(1, 3, 'K0018', N'周伟', '13156418835', N'天津市河西区274号', 24199.78, '2026-10-11 10:08:00'),
(1, 4, 'K0019', N'何平', '13703264880', N'北京市朝阳区234号', 44602.71, '2026-07-13 10:25:00'),
(1, 1, 'K0020', N'马敏', '13517031191', N'天津市河西区32号', 12491.08, '2026-04-15 10:10:00'),
(1, 2, 'K0021', N'刘勇', '13645025986', N'北京市朝阳区53号', 15.72, '2026-03-18 10:06:00'),
(1, 3, 'K0022', N'孙平', '13027381374', N'北京市海淀区107号', 40243.48, '2026-03-21 10:16:00'),
(1, 4, 'K0023', N'孙平', '13391017514', N'北京市通州区63号', 7559.62, '2026-08-16 10:30:00'),
(1, 1, 'K0024', N'周娜', '13154744982', N'北京市海淀区176号', 48519.33, '2026-08-27 10:44:00'),
(1, 2, 'K0025', N'杨超', '13024798844', N'天津市和平区271号', 23707.18, '2026-09-01 10:48:00'),
(1, 3, 'K0026', N'何洋', '13690326952', N'北京市海淀区134号', 33973.46, '2026-03-12 10:49:00'),
(1, 4, 'K0027', N'赵秀英', '13581503267', N'北京市西城区115号', 40188.97, '2026-04-26 10:15:00'),
(1, 1, 'K0028', N'马晓东', '13862564799', N'天津市和平区103号', 33923.63, '2026-06-24 10:01:00'),
(1, 2, 'K0029', N'王军', '13507063907', N'北京市丰台区100号', 45385.77, '2026-06-15 10:51:00'),
(1, 3, 'K0030', N'孙艳', '13086477158', N'天津市和平区53号', 14866.60, '2026-04-11 10:13:00'),
(1, 4, 'K0031', N'郭平', '13966698717', N'北京市朝阳区246号', 42793.44, '2026-11-03 10:53:00'),
(1, 1, 'K0032', N'刘杰', '13839991324', N'天津市和平区245号', 11699.55, '2026-11-11 10:05:00'),
(1, 2, 'K0033', N'马涛', '13430985811', N'北京市海淀区82号', 11141.16, '2026-01-05 10:37:00'),
(1, 3, 'K0034', N'胡刚', '13156953470', N'北京市通州区180号', 10217.70, '2026-09-05 10:01:00'),
(1, 4, 'K0035', N'王晓东', '13697582865', N'北京市海淀区270号', 49118.17, '2026-07-28 10:12:00'),
(1, 1, 'K0036', N'黄伟', '13270405570', N'天津市和平区150号', 32844.30, '2026-10-11 10:16:00'),
(1, 2, 'K0037', N'林娟', '13895710061', N'北京市东城区32号', 48491.45, '2026-08-22 10:37:00'),
(1, 3, 'K0038', N'何娟', '13888134464', N'北京市东城区273号', 9950.67, '2026-09-01 10:55:00'),
(1, 4, 'K0039', N'胡海燕', '13196610599', N'北京市朝阳区77号', 11294.18, '2026-08-20 10:46:00'),
(1, 1, 'K0040', N'刘秀英', '13066309234', N'北京市西城区266号', 34781.71, '2026-08-26 10:49:00'),
(1, 2, 'K0041', N'刘秀英', '13061012773', N'天津市和平区98号', 18148.05, '2026-02-17 10:28:00'),
(1, 3, 'K0042', N'林伟', '13816036417', N'北京市海淀区227号', 21339.78, '2026-09-20 10:32:00'),
(1, 4, 'K0043', N'黄建华', '13297625709', N'北京市通州区261号', 34949.61, '2026-09-08 10:44:00'),
(1, 1, 'K0044', N'何军', '13990832001', N'天津市和平区230号', 8987.53, '2026-02-13 10:28:00'),
(1, 2, 'K0045', N'徐娜', '13720647678', N'天津市和平区220号', 4792.27, '2026-11-10 10:50:00'),
(1, 3, 'K0046', N'刘海燕', '13165835798', N'北京市西城区74号', 16587.17, '2026-08-08 10:47:00'),
(1, 4, 'K0047', N'刘杰', '13950189441', N'北京市通州区84号', 43767.28, '2026-03-23 10:27:00'),
(1, 1, 'K0048', N'何杰', '13364123187', N'天津市河西区101号', 23371.40, '2026-02-24 10:23:00'),
(1, 2, 'K0049', N'王勇', '13594906926', N'北京市通州区226号', 46081.02, '2026-07-11 10:33:00'),
(1, 3, 'K0050', N'高洋', '13550037437', N'北京市海淀区58号', 14978.13, '2026-02-09 10:17:00'),
(1, 4, 'K0051', N'李海燕', '13194939322', N'北京市丰台区67号', 27672.86, '2026-05-13 10:09:00'),
(1, 1, 'K0052', N'林超', '13612671635', N'北京市通州区168号', 5862.35, '2026-01-26 10:44:00'),
(1, 2, 'K0053', N'杨娟', '13961305176', N'北京市海淀区138号', 1103.81, '2026-02-26 10:16:00'),
(1, 3, 'K0054', N'张平', '13919368500', N'天津市和平区35号', 17331.15, '2026-08-01 10:21:00'),
(1, 4, 'K0055', N'林娟', '13995003562', N'北京市丰台区67号', 2831.67, '2026-04-04 10:10:00'),
(1, 1, 'K0056', N'吴芳', '13194504003', N'天津市和平区160号', 41200.39, '2026-09-25 10:13:00'),
(1, 2, 'K0057', N'周涛', '13536966045', N'北京市东城区139号', 22741.02, '2026-05-02 10:00:00'),
(1, 3, 'K0058', N'王晓东', '13542941825', N'天津市和平区264号', 31113.31, '2026-08-04 10:42:00'),
(1, 4, 'K0059', N'朱桂英', '13531503893', N'天津市河西区260号', 20170.88, '2026-04-08 10:21:00'),
(1, 1, 'K0060', N'黄建华', '13782590468', N'北京市东城区208号', 22777.06, '2026-03-01 10:04:00')
-- Filed under the customer categories: companies first, then private customers.
update qd_b_khbmk set p1 = 10, p2 = 11 where code <= 'K0004'
update qd_b_khbmk set linkman = N'刘经理', extend = N'{"开票抬头":"北京华星科技有限公司","税号":"91110105MA01XXXX8K","开户银行":"工商银行朝阳支行","银行账号":"0200001234567890123"}' where code = 'K0001'
update qd_b_khbmk set p1 = 10, p2 = 12 where code > 'K0004' and code <= 'K0008'
update qd_b_khbmk set p1 = 13, p2 = 14 where code > 'K0008' and code <= 'K0030'
update qd_b_khbmk set p1 = 13, p2 = 0 where code > 'K0030'

-- Orders with their lines and work records.
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 2, 'D202611001', '2026-11-03 09:05:00', 0, 1, 3, 1, 2, N'年会物料', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611001', 'D202611001-1', 5, N'户外喷绘布', 90, 1, 18, 1, 1620)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611001', 'D202611001-2', 6, N'条幅', 140, 1, 8, 1, 1120)
update qd_x_xmzzk set je = 2740 where billno = 'D202611001'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 1, 1, '2026-11-03 10:00:00', '2026-11-03 12:00:00', 3, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 3, 'H202611002', '2026-11-06 09:10:00', 1, 1, 4, 2, 3, N'开业宣传', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611002', 'H202611002-1', 8, N'易拉宝', 60, 1, 120, 1, 7200)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611002', 'H202611002-2', 9, N'企业画册', 20, 1, 45, 1, 900)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611002', 'H202611002-3', 10, N'标书装订', 30, 1, 25, 1, 750)
update qd_x_xmzzk set je = 8850 where billno = 'H202611002'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 2, 1, '2026-11-06 10:00:00', '2026-11-06 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 2, 2, '2026-11-06 11:00:00', '2026-11-06 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202611003', '2026-11-09 09:15:00', 2, 1, 5, 3, 4, N'招生简章', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611003', 'T202611003-1', 11, N'海报', 130, 1, 5, 1, 650)
update qd_x_xmzzk set je = 650 where billno = 'T202611003'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 3, 1, '2026-11-09 10:00:00', '2026-11-09 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 3, 2, '2026-11-09 11:00:00', '2026-11-09 13:00:00', 4, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 3, 3, '2026-11-09 12:00:00', '2026-11-09 14:00:00', 5, 1)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 1, 'Z202611004', '2026-11-12 09:20:00', 2, 1, 2, 4, 1, N'产品画册', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611004', 'Z202611004-1', 2, N'会员卡', 170, 1, 1.5, 1, 255.0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611004', 'Z202611004-2', 3, N'宣传单页', 100, 1, 0.35, 1, 35.0)
update qd_x_xmzzk set je = 290.0 where billno = 'Z202611004'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 4, 1, '2026-11-12 10:00:00', '2026-11-12 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 4, 2, '2026-11-12 11:00:00', '2026-11-12 13:00:00', 4, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 4, 3, '2026-11-12 12:00:00', '2026-11-12 14:00:00', 5, 1)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 2, 'D202611005', '2026-11-15 09:25:00', 1, 1, 3, 5, 2, N'会议背景', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611005', 'D202611005-1', 5, N'户外喷绘布', 200, 1, 18, 1, 3600)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611005', 'D202611005-2', 6, N'条幅', 80, 1, 8, 1, 640)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611005', 'D202611005-3', 7, N'写真背胶', 100, 1, 35, 1, 3500)
update qd_x_xmzzk set je = 7740 where billno = 'D202611005'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 5, 1, '2026-11-15 10:00:00', '2026-11-15 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 5, 2, '2026-11-15 11:00:00', '2026-11-15 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 3, 'H202611006', '2026-11-18 09:30:00', 0, 1, 4, 6, 3, N'门头写真', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611006', 'H202611006-1', 8, N'易拉宝', 20, 1, 120, 1, 2400)
update qd_x_xmzzk set je = 2400 where billno = 'H202611006'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 6, 1, '2026-11-18 10:00:00', '2026-11-18 12:00:00', 3, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202611007', '2026-11-21 09:35:00', 2, 1, 5, 7, 4, N'员工名片', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611007', 'T202611007-1', 11, N'海报', 150, 1, 5, 1, 750)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611007', 'T202611007-2', 12, N'X展架', 60, 1, 85, 1, 5100)
update qd_x_xmzzk set je = 5850 where billno = 'T202611007'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 7, 1, '2026-11-21 10:00:00', '2026-11-21 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 7, 2, '2026-11-21 11:00:00', '2026-11-21 13:00:00', 4, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 7, 3, '2026-11-21 12:00:00', '2026-11-21 14:00:00', 5, 1)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 1, 'Z202611008', '2026-11-24 09:40:00', 1, 1, 2, 8, 1, N'展会易拉宝', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611008', 'Z202611008-1', 2, N'会员卡', 60, 1, 1.5, 1, 90.0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611008', 'Z202611008-2', 3, N'宣传单页', 90, 1, 0.35, 1, 31.5)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611008', 'Z202611008-3', 4, N'三折页', 150, 1, 0.8, 1, 120.0)
update qd_x_xmzzk set je = 241.5 where billno = 'Z202611008'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 8, 1, '2026-11-24 10:00:00', '2026-11-24 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 8, 2, '2026-11-24 11:00:00', '2026-11-24 13:00:00', 4, 0)

-- More orders: five in every store, drafts and audited, so that 前单 / 后单 have a chain to walk.
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 1, 'Z202611009', '2026-11-25 10:27:00', 2, 1, 2, 4, 4, 1, N'周年庆物料', N'加急', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611009', 'Z202611009-1', 10, N'标书装订', 60, 1, 25, 1, 1500.00)
update qd_x_xmzzk set je = 1500.00 where billno = 'Z202611009'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 9, 1, '2026-11-25 10:00:00', '2026-11-25 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 9, 2, '2026-11-25 11:00:00', '2026-11-25 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 2, 'D202611010', '2026-11-25 11:30:00', 0, 1, 3, 11, 9, 2, N'店庆海报', N'常规', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611010', 'D202611010-1', 3, N'宣传单页', 10, 1, 0.35, 0.9, 3.15)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611010', 'D202611010-2', 6, N'条幅', 25, 1, 8, 0.85, 170.00)
update qd_x_xmzzk set je = 173.15 where billno = 'D202611010'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 10, 1, '2026-11-25 10:00:00', '2026-11-25 12:00:00', 3, 0)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 10, 2, '2026-11-25 11:00:00', '2026-11-25 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 3, 'H202611011', '2026-11-25 12:33:00', 1, 1, 5, 6, 5, 3, N'培训手册', N'分批交货', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611011', 'H202611011-1', 8, N'易拉宝', 25, 1, 120, 0.85, 2550.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611011', 'H202611011-2', 11, N'海报', 100, 1, 5, 1, 500.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611011', 'H202611011-3', 2, N'会员卡', 3, 1, 1.5, 0.9, 4.05)
update qd_x_xmzzk set je = 3054.05 where billno = 'H202611011'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 11, 1, '2026-11-25 10:00:00', '2026-11-25 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 11, 2, '2026-11-25 11:00:00', '2026-11-25 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 4, 'T202611012', '2026-11-25 13:36:00', 2, 1, 7, 1, 7, 4, N'展位布置', N'加急', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611012', 'T202611012-1', 1, N'名片', 100, 1, 35, 1, 3500.00)
update qd_x_xmzzk set je = 3500.00 where billno = 'T202611012'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 12, 1, '2026-11-25 10:00:00', '2026-11-25 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 12, 2, '2026-11-25 11:00:00', '2026-11-25 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 1, 'Z202611013', '2026-11-26 10:39:00', 1, 1, 2, 8, 4, 1, N'新品发布', N'常规', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611013', 'Z202611013-1', 6, N'条幅', 3, 1, 8, 0.9, 21.60)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611013', 'Z202611013-2', 9, N'企业画册', 60, 1, 45, 0.85, 2295.00)
update qd_x_xmzzk set je = 2316.60 where billno = 'Z202611013'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 13, 1, '2026-11-26 10:00:00', '2026-11-26 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 13, 2, '2026-11-26 11:00:00', '2026-11-26 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 2, 'D202611014', '2026-11-26 11:42:00', 2, 1, 3, 3, 9, 2, N'校园招聘', N'分批交货', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611014', 'D202611014-1', 11, N'海报', 60, 1, 5, 0.85, 255.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611014', 'D202611014-2', 2, N'会员卡', 10, 1, 1.5, 1, 15.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611014', 'D202611014-3', 5, N'户外喷绘布', 25, 1, 18, 0.9, 405.00)
update qd_x_xmzzk set je = 675.00 where billno = 'D202611014'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 14, 1, '2026-11-26 10:00:00', '2026-11-26 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 14, 2, '2026-11-26 11:00:00', '2026-11-26 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 3, 'H202611015', '2026-11-26 12:45:00', 0, 1, 5, 10, 5, 3, N'门店改造', N'加急', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611015', 'H202611015-1', 4, N'三折页', 10, 1, 0.8, 1, 8.00)
update qd_x_xmzzk set je = 8.00 where billno = 'H202611015'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 15, 1, '2026-11-26 10:00:00', '2026-11-26 12:00:00', 3, 0)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 15, 2, '2026-11-26 11:00:00', '2026-11-26 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 4, 'T202611016', '2026-11-26 13:48:00', 1, 1, 7, 5, 7, 4, N'春季促销', N'常规', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611016', 'T202611016-1', 9, N'企业画册', 25, 1, 45, 0.9, 1012.50)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611016', 'T202611016-2', 12, N'X展架', 100, 1, 85, 0.85, 7225.00)
update qd_x_xmzzk set je = 8237.50 where billno = 'T202611016'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 16, 1, '2026-11-26 10:00:00', '2026-11-26 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 16, 2, '2026-11-26 11:00:00', '2026-11-26 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 1, 'Z202611017', '2026-11-27 10:51:00', 0, 1, 2, 12, 4, 1, N'会务资料', N'分批交货', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611017', 'Z202611017-1', 2, N'会员卡', 100, 1, 1.5, 0.85, 127.50)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611017', 'Z202611017-2', 5, N'户外喷绘布', 3, 1, 18, 1, 54.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'Z202611017', 'Z202611017-3', 8, N'易拉宝', 60, 1, 120, 0.9, 6480.00)
update qd_x_xmzzk set je = 6661.50 where billno = 'Z202611017'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 17, 1, '2026-11-27 10:00:00', '2026-11-27 12:00:00', 3, 0)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 1, 17, 2, '2026-11-27 11:00:00', '2026-11-27 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 2, 'D202611018', '2026-11-27 11:54:00', 1, 1, 3, 7, 9, 2, N'客户答谢', N'加急', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'D202611018', 'D202611018-1', 7, N'写真背胶', 3, 1, 35, 1, 105.00)
update qd_x_xmzzk set je = 105.00 where billno = 'D202611018'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 18, 1, '2026-11-27 10:00:00', '2026-11-27 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 2, 18, 2, '2026-11-27 11:00:00', '2026-11-27 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 3, 'H202611019', '2026-11-27 12:57:00', 2, 1, 5, 2, 5, 3, N'产品目录', N'常规', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611019', 'H202611019-1', 12, N'X展架', 60, 1, 85, 0.9, 4590.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'H202611019', 'H202611019-2', 3, N'宣传单页', 10, 1, 0.35, 0.85, 2.98)
update qd_x_xmzzk set je = 4592.98 where billno = 'H202611019'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 19, 1, '2026-11-27 10:00:00', '2026-11-27 12:00:00', 3, 1)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 3, 19, 2, '2026-11-27 11:00:00', '2026-11-27 13:00:00', 4, 0)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, ywy_id, flow_id, gcxmmc, zy, je) values(1, 4, 'T202611020', '2026-11-27 13:00:00', 0, 1, 7, 9, 7, 4, N'年终总结', N'分批交货', 0)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611020', 'T202611020-1', 5, N'户外喷绘布', 10, 1, 18, 0.85, 153.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611020', 'T202611020-2', 8, N'易拉宝', 25, 1, 120, 1, 3000.00)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) values(1, 'T202611020', 'T202611020-3', 11, N'海报', 100, 1, 5, 0.9, 450.00)
update qd_x_xmzzk set je = 3603.00 where billno = 'T202611020'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 20, 1, '2026-11-27 10:00:00', '2026-11-27 12:00:00', 3, 0)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) values(1, 4, 20, 2, '2026-11-27 11:00:00', '2026-11-27 13:00:00', 4, 0)

-- Bill rules: the modules' defaults, and the head store's own order rule (a retitled and a hidden
-- column, audit after print on).
insert into qd_sys_billnorule(orgid, billcode, caption, tag, istyle, seekcount) values(1, 'XMZZK', N'订单', 'D', 0, 4)
insert into qd_sys_billnorule(orgid, billcode, caption, tag, istyle, seekcount) values(1, 'SKD', N'收款单', 'S', 1, 8)
insert into qd_sys_billnorule_user(orgid, ck_id, billcode, caption, tag, istyle, seekcount, gridconfig, autowidth, flag) values(1, 1, 'XMZZK', N'订单', 'Z', 0, 4, N'[{"fieldname":"gcxmmc","deftitle":"项目名称","custtitle":"制作项目","fieldtype":"默认","dispformat":"","decimalcount":0,"display":true},{"fieldname":"zk","deftitle":"折扣","custtitle":"折扣","fieldtype":"默认","dispformat":"0.00","decimalcount":0,"display":false},{"fieldname":"sl","deftitle":"数量","custtitle":"数量","fieldtype":"整数","dispformat":"","decimalcount":0,"display":true},{"fieldname":"filename","deftitle":"设计文件","custtitle":"设计文件","fieldtype":"文件","dispformat":"","decimalcount":0,"display":true}]', 0, '001000000000000000000000000000')

-- Audit and print logs of two orders: one entry by an operator without an employee row (99),
-- one by 周强, who has left (soft-deleted) and is still named.
insert into qd_sys_billaudit_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, auditmsg, auditstate, createtime) values(1, 'XMZZK', N'订单', 'H202611002', 3, 5, N'审核通过', N'审核', '2026-11-06 15:20:00')
insert into qd_sys_billaudit_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, auditmsg, auditstate, createtime) values(1, 'XMZZK', N'订单', 'T202611003', 4, 9, N'客户要求改稿，退回草稿' + char(13) + char(10) + N'改稿后重新审核', N'草稿', '2026-11-09 16:00:00')
insert into qd_sys_billaudit_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, auditmsg, auditstate, createtime) values(1, 'XMZZK', N'订单', 'T202611003', 4, 99, N'审核通过', N'审核', '2026-11-10 09:30:00')
insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, createtime) values(1, 'XMZZK', N'订单', 'H202611002', 3, 5, '2026-11-06 15:25:00')
insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, createtime) values(1, 'XMZZK', N'订单', 'T202611003', 4, 9, '2026-11-10 09:40:00')
insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, createtime) values(1, 'XMZZK', N'订单', 'T202611003', 4, 99, '2026-11-10 10:05:00')

-- A conversation on order D202611001 (its attachments are made by the demo builder).
insert into qd_sys_tickets(orgid, biztype, bizid, czy_id, lastupdate, msg) values(1, N'订单', 1, 3, '2026-11-03 09:30:00', N'客户希望喷绘布改为哑光材质，请确认价格。')
insert into qd_sys_tickets(orgid, biztype, bizid, czy_id, lastupdate, msg) values(1, N'订单', 1, 2, '2026-11-03 10:12:00', N'哑光材质单价加2元/平方米。' + char(13) + char(10) + N'已附上设计稿和报价单，请客户确认。')
insert into qd_sys_tickets(orgid, biztype, bizid, czy_id, lastupdate, msg) values(1, N'订单', 1, 3, '2026-11-03 14:45:00', N'客户已确认，按哑光材质制作。')

-- One project name on three orders, so that the history of project names ranks it first.
update qd_x_xmzzk set gcxmmc = N'年会物料' where billno in ('H202611006', 'Z202611008')
-- Lines carry their item's 规格 (size and material) and unit.
update qd_x_xmzzk_mx set itemno = (select x.itemno from qd_b_xmbmk x where x.id = qd_x_xmzzk_mx.xm_id), baseunit = (select x.baseunit from qd_b_xmbmk x where x.id = qd_x_xmzzk_mx.xm_id)

-- Receipts (收款单): two in every store, drafts and audited; 王建国 (1001) took both of the head
-- store's. Each line names an order; its project name and amount are the order's.
create table dbo.qd_x_skd (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  billno varchar(50) not null default '',
  billdate datetime null default getdate(),
  status int not null default 0,
  version int not null default 0,
  kdr_id int not null default 0,
  kh_id int not null default 0,
  skfs nvarchar(20) null,
  zy nvarchar(100) null,
  je decimal(18,4) null default 0,
  beizhu nvarchar(500) null,
  auditdate datetime null,
  shy_id int not null default 0,
  lastupdate datetime null default getdate()
)
create index ix_qd_x_skd_billno on dbo.qd_x_skd(orgid, billno)
create index ix_qd_x_skd_store on dbo.qd_x_skd(orgid, ck_id, billno)
create table dbo.qd_x_skd_mx (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  billno varchar(50) not null default '',
  uid varchar(50) null,
  xmzzk_billno varchar(50) null,
  gcxmmc nvarchar(100) null,
  ddje decimal(18,4) null default 0,
  je decimal(18,4) null default 0,
  beizhu nvarchar(500) null
)
create index ix_qd_x_skd_mx_billno on dbo.qd_x_skd_mx(orgid, billno)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 1, 'SZ00000001', '2026-11-13 10:00:00', 1, 1, 2, 4, N'现金', N'结清尾款', 290.00, '2026-11-13 10:00:00', 2)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SZ00000001', 'SZ00000001-1', 'Z202611004', 290.00, null)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 2, 'SD00000001', '2026-11-04 11:00:00', 1, 1, 3, 1, N'微信', N'收取定金', 1000.00, '2026-11-04 11:00:00', 3)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SD00000001', 'SD00000001-1', 'D202611001', 1000.00, null)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 3, 'SH00000001', '2026-11-07 10:30:00', 1, 1, 4, 2, N'转账', N'收取定金', 7000.00, '2026-11-07 10:30:00', 4)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SH00000001', 'SH00000001-1', 'H202611002', 5000.00, null)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SH00000001', 'SH00000001-2', 'H202611019', 2000.00, N'先付部分')
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 4, 'ST00000001', '2026-11-10 14:00:00', 1, 1, 5, 3, N'支票', N'结清尾款', 650.00, '2026-11-10 14:00:00', 5)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'ST00000001', 'ST00000001-1', 'T202611003', 650.00, null)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 2, 'SD00000002', '2026-11-26 16:00:00', 0, 1, 3, 3, N'支付宝', N'结清尾款', 675.00, null, 0)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SD00000002', 'SD00000002-1', 'D202611014', 675.00, null)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 3, 'SH00000002', '2026-11-26 17:00:00', 0, 1, 5, 6, N'现金', N'加急费', 3054.05, null, 0)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SH00000002', 'SH00000002-1', 'H202611011', 3054.05, null)
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 4, 'ST00000002', '2026-11-26 15:00:00', 0, 1, 7, 5, N'转账', N'收取定金', 3000.00, null, 0)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'ST00000002', 'ST00000002-1', 'T202611016', 3000.00, N'余款交货时付清')
insert into qd_x_skd(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, skfs, zy, je, auditdate, shy_id) values(1, 1, 'SZ00000002', '2026-11-27 15:20:00', 0, 1, 2, 8, N'转账', N'收取定金', 1241.50, null, 0)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SZ00000002', 'SZ00000002-1', 'Z202611008', 241.50, null)
insert into qd_x_skd_mx(orgid, billno, uid, xmzzk_billno, je, beizhu) values(1, 'SZ00000002', 'SZ00000002-2', 'Z202611013', 1000.00, null)
update qd_x_skd_mx set gcxmmc = (select o.gcxmmc from qd_x_xmzzk o where o.orgid = qd_x_skd_mx.orgid and o.billno = qd_x_skd_mx.xmzzk_billno), ddje = (select o.je from qd_x_xmzzk o where o.orgid = qd_x_skd_mx.orgid and o.billno = qd_x_skd_mx.xmzzk_billno)

-- 王建国's newest order in the head store has been printed twice.
update qd_x_xmzzk set printcount = 2 where billno = 'Z202611017'
insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, createtime) values(1, 'XMZZK', N'订单', 'Z202611017', 1, 2, '2026-11-27 11:05:00')
insert into qd_sys_billpirnt_logs(orgid, modulecode, billtype, billno, ck_id, czy_id, createtime) values(1, 'XMZZK', N'订单', 'Z202611017', 1, 2, '2026-11-27 16:40:00')

-- Two hundred orders of the ninety days before the database was made, two to six lines each, in
-- every store, so that the reports' presets (一个月内 and the others) always find rows.
declare @i int = 1, @k int, @lines int, @no varchar(20), @day datetime, @ck int, @kdr int, @xm int, @sl decimal(18,4), @dj decimal(18,4)
while @i <= 200
begin
  set @day = dateadd(minute, 540 + (@i * 37) % 540, dateadd(day, -((@i * 89) / 200), cast(convert(varchar(10), getdate(), 120) as datetime)))
  set @ck = 1 + @i % 4
  set @kdr = case @ck when 1 then case when @i % 8 < 4 then 4 else 6 end when 2 then 8 when 3 then 5 else 7 end
  set @no = 'R' + convert(varchar(8), @day, 112) + right('000' + cast(@i as varchar(10)), 3)
  insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, @ck, @no, @day, case when @i % 3 = 0 then 1 else 0 end, 1, @kdr, 1 + (@i * 7) % 60, 1, N'门店订单' + cast(@i as nvarchar(10)), 0)
  set @lines = 2 + @i % 5
  set @k = 1
  while @k <= @lines
  begin
    set @xm = 1 + (@i + @k * 5) % 12
    set @sl = 1 + (@i * @k) % 40
    set @dj = (select dj from qd_b_xmbmk where id = @xm)
    insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, sl, n, dj, zk, je) select 1, @no, @no + '-' + cast(@k as varchar(10)), @xm, name, @sl, 1, @dj, 1, @sl * @dj from qd_b_xmbmk where id = @xm
    set @k = @k + 1
  end
  update qd_x_xmzzk set je = (select sum(d.je) from qd_x_xmzzk_mx d where d.orgid = 1 and d.billno = @no) where orgid = 1 and billno = @no
  set @i = @i + 1
end

-- Order tracking (订单跟踪): the order lines with the flow of their orders (流程跟踪) and the
-- customer's earlier prices of the item (历史价格). Orders of 赵磊 in 天津分店 for every branch of
-- the flow: a draft without work records, in production with its latest record done and not
-- done, finished in the minute its last record ended; and 金桥广告 (K0002) buying 企业画册
-- over fourteen months, one of those orders voided.
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'DDGZ', N'订单跟踪', N'订单跟踪', N'业务单据', 'TOrderTrackingForm', N'{"mainsql": "select d.id, m.id as xmzzk_id, m.kh_id, d.xm_id, m.billno, m.billdate, kh.name as kh_name, kh.mobile as kh_mobile, ck.name as ck_name, case when m.status >= 2 then N''已完工'' when m.status = 1 then N''生产中'' else N''新单'' end as status_name, f.name as flow_name, d.gcxmmc, d.itemno, d.baseunit, d.sl, d.dj, d.je, m.filedir from qd_x_xmzzk m join qd_x_xmzzk_mx d on d.orgid = m.orgid and d.billno = m.billno left join qd_b_khbmk kh on kh.id = m.kh_id left join qd_b_ckbmk ck on ck.id = m.ck_id left join qd_b_flow f on f.id = m.flow_id where m.orgid = :orgid and m.zfflag = 0", "sort": "m.billdate desc, m.billno, d.id"}', N'[{"fieldname": "billno", "label": "单号", "width": "100"}, {"fieldname": "billdate", "label": "单据日期", "width": "130", "type": "date"}, {"fieldname": "kh_name", "label": "客户", "width": "150"}, {"fieldname": "status_name", "label": "状态", "width": "60"}, {"fieldname": "flow_name", "label": "当前流程", "width": "70"}, {"fieldname": "gcxmmc", "label": "项目名称", "width": "110"}, {"fieldname": "itemno", "label": "规格", "width": "130"}, {"fieldname": "baseunit", "label": "单位", "width": "50"}, {"fieldname": "sl", "label": "数量", "width": "70", "type": "money", "decimal": "2", "format": "0.##"}, {"fieldname": "dj", "label": "单价", "width": "80", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "je", "label": "金额", "width": "90", "type": "money", "decimal": "2", "format": "#,##0.00"}, {"fieldname": "filedir", "label": "订单文件夹", "width": "220"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}, {"fieldname": "kh_mobile", "label": "手机", "width": "100", "visiable": "false"}, {"fieldname": "ck_name", "label": "门店", "width": "80", "visiable": "false"}, {"fieldname": "xmzzk_id", "label": "订单ID", "width": "50", "visiable": "false"}, {"fieldname": "kh_id", "label": "客户ID", "width": "50", "visiable": "false"}, {"fieldname": "xm_id", "label": "项目ID", "width": "50", "visiable": "false"}]', 22)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202610101', '2026-10-12 09:10:00', 0, 1, 7, 3, 1, N'社团海报', 100)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202610102', '2026-10-13 09:20:00', 1, 1, 7, 3, 3, N'招商手册', 450)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202610103', '2026-10-14 09:30:00', 1, 1, 7, 3, 2, N'展会条幅', 160)
insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, je) values(1, 4, 'T202610104', '2026-10-15 09:40:00', 2, 1, 7, 3, 4, N'年度画册', 900)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, itemno, baseunit, sl, n, dj, zk, je) values(1, 'T202610101', 'T202610101-1', 11, N'海报', N'A3 200g', N'张', 20, 1, 5, 1, 100)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, itemno, baseunit, sl, n, dj, zk, je) values(1, 'T202610102', 'T202610102-1', 9, N'企业画册', N'A4 胶装 20P', N'本', 10, 1, 45, 1, 450)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, itemno, baseunit, sl, n, dj, zk, je) values(1, 'T202610103', 'T202610103-1', 6, N'条幅', N'0.7米宽', N'米', 20, 1, 8, 1, 160)
insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, itemno, baseunit, sl, n, dj, zk, je) values(1, 'T202610104', 'T202610104-1', 9, N'企业画册', N'A4 胶装 20P', N'本', 20, 1, 45, 1, 900)
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 1, '2026-10-13 10:00:00', '2026-10-13 15:00:00', 7, 1 from qd_x_xmzzk where billno = 'T202610102'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 2, '2026-10-14 08:30:00', '2026-10-14 17:00:00', 8, 1 from qd_x_xmzzk where billno = 'T202610102'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 1, '2026-10-14 10:00:00', '2026-10-14 12:00:00', 7, 1 from qd_x_xmzzk where billno = 'T202610103'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 2, '2026-10-14 13:00:00', null, 8, 0 from qd_x_xmzzk where billno = 'T202610103'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 1, '2026-10-15 10:00:00', '2026-10-15 14:00:00', 7, 1 from qd_x_xmzzk where billno = 'T202610104'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 2, '2026-10-16 08:30:00', '2026-10-16 11:20:00', 8, 1 from qd_x_xmzzk where billno = 'T202610104'
insert into qd_sys_doworks(orgid, ck_id, xmzzk_id, flow_id, bt, et, czy_id, isdone) select 1, 4, id, 3, '2026-10-16 11:20:00', '2026-10-16 16:30:00', 7, 1 from qd_x_xmzzk where billno = 'T202610104'
-- The order folders: two orders have theirs (the demo makes them with sample files under the
-- program home, where the stored drive paths are mapped); a tracking user may set them.
update qd_x_xmzzk set filedir = N'D:\订单文件\天津分店\T202610104' where orgid = 1 and billno = 'T202610104'
update qd_x_xmzzk set filedir = N'D:\订单文件\东城分店\D202611001' where orgid = 1 and billno = 'D202611001'
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 1, 'DDGZ_02')
insert into qd_sys_rights(orgid, roleid, rightcode) values(1, 2, 'DDGZ_02')
declare @hm int = 1, @hno varchar(20), @hday datetime, @hdj decimal(18,4), @hname nvarchar(100)
while @hm <= 14
begin
  if @hm not in (3, 6, 9, 11, 13)
  begin
    set @hday = dateadd(hour, 15, dateadd(month, -@hm, cast(convert(varchar(10), getdate(), 120) as datetime)))
    set @hno = 'T' + convert(varchar(8), @hday, 112) + 'H' + right('0' + cast(@hm as varchar(2)), 2)
    set @hdj = 36 + (14 - @hm) * 0.75
    set @hname = N'月刊' + convert(varchar(7), @hday, 120)
    insert into qd_x_xmzzk(orgid, ck_id, billno, billdate, status, version, kdr_id, kh_id, flow_id, gcxmmc, zfflag, je) values(1, 4, @hno, @hday, 2, 1, 7, 2, 4, @hname, case when @hm = 5 then 1 else 0 end, 30 * @hdj)
    insert into qd_x_xmzzk_mx(orgid, billno, uid, xm_id, gcxmmc, itemno, baseunit, sl, n, x, y, dj, zk, je, beizhu) values(1, @hno, @hno + '-1', 9, @hname, N'A4 胶装 20P', N'本', 30, 1, 210, 297, @hdj, 1, 30 * @hdj, case when @hm = 5 then N'已作废' else N'' end)
  end
  set @hm = @hm + 1
end

-- Data checkup: the check catalogue, four categories; the stores' missing help codes are the
-- fault it finds (with its detail and repair; the customers' repeated name is found too), one
-- check counts what must exist, one has no statement yet.
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity, detailsql, fixsql) values(1, N'基础资料', N'门店资料缺少助记码', 40, N'select count(*) from qd_b_ckbmk where orgid = :orgid and isdel = 0 and isnull(helpcode, '''') = ''''', 0, 1, N'select code as 编号, name as 门店名称, linkman as 负责人 from qd_b_ckbmk where orgid = :orgid and isdel = 0 and isnull(helpcode, '''') = '''' order by code', N'update qd_b_ckbmk set helpcode = code where orgid = :orgid and isdel = 0 and isnull(helpcode, '''') = ''''')
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'基础资料', N'客户资料名称重复', 30, N'select count(*) from (select name from qd_b_khbmk where orgid = :orgid and isdel = 0 group by name having count(*) > 1) t', 0, 1)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'基础资料', N'项目资料缺少计量单位', 20, N'select count(*) from qd_b_xmbmk where orgid = :orgid and isdel = 0 and isnull(baseunit, '''') = ''''', 0, 0)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'基础资料', N'存在可用的项目资料', 10, N'select count(*) from qd_b_xmbmk where orgid = :orgid and isdel = 0', 1, 2)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'业务单据', N'订单明细缺少项目', 40, N'select count(*) from qd_x_xmzzk_mx where orgid = :orgid and isnull(xm_id, 0) = 0', 0, 2)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'业务单据', N'订单没有明细', 30, N'select count(*) from qd_x_xmzzk m where m.orgid = :orgid and not exists (select 1 from qd_x_xmzzk_mx d where d.orgid = m.orgid and d.billno = m.billno)', 0, 1)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'业务单据', N'订单金额与明细合计不符', 20, N'select count(*) from qd_x_xmzzk m where m.orgid = :orgid and abs(isnull(m.je, 0) - isnull((select sum(d.je) from qd_x_xmzzk_mx d where d.orgid = m.orgid and d.billno = m.billno), 0)) > 0.005', 0, 2)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'业务单据', N'订单单号重复', 10, N'select count(*) from (select billno from qd_x_xmzzk where orgid = :orgid group by billno having count(*) > 1) t', 0, 2)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'系统设置', N'模块缺少窗口类', 30, N'select count(*) from qd_sys_plugins where orgid = :orgid and isdel = 0 and isnull(formclass, '''') = ''''', 0, 1)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'系统设置', N'报表缺少查询定义', 20, N'select count(*) from qd_sys_rptmain where orgid = :orgid and isdel = 0 and isnull(pluginfo, '''') = ''''', 0, 1)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'系统设置', N'备份设置（待补充）', 10, N'', 0, 0)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'权限安全', N'用户没有角色', 30, N'select count(*) from qd_sys_users u where u.orgid = :orgid and u.isdel = 0 and u.isadmin = 0 and not exists (select 1 from qd_sys_userroles r where r.userid = u.id)', 0, 1)
insert into qd_sys_checkitems(orgid, category, title, isort, checksql, resultrule, severity) values(1, N'权限安全', N'存在系统管理员', 20, N'select count(*) from qd_sys_users where orgid = :orgid and isdel = 0 and isadmin = 1', 1, 2)

-- SMS: templates of the single notice (group 1) and the bulk dialog (group 99), the demo gateway
-- (messages go to the trace only) and the list of the outbox.
update qd_sys_alidayu set tpltxt = N'您好${name}，您的订单${billno}已完工，请到${store}取件。${company}', tplparams = N'[{"key":"name","param":"name","desc":"客户"},{"key":"billno","param":"billno","desc":"订单号"},{"key":"store","param":"store","desc":"门店"},{"key":"company_name","param":"company","desc":"公司"}]' where orgid = 1 and tplid = 'SMS_0001'
insert into qd_sys_alidayu(orgid, tpltype, tplname, tplid, tpltxt, tplparams) values(1, 1, N'订单取件提醒', 'SMS_0002', N'${name}您好，订单${billno}已可取件，门店电话${tel}。', N'[{"key":"name","param":"name","desc":"客户"},{"key":"billno","param":"billno","desc":"订单号"},{"key":"company_tel","param":"tel","desc":"电话"}]')
insert into qd_sys_alidayu(orgid, tpltype, tplname, tplid, tpltxt, tplparams) values(1, 99, N'店庆活动', 'SMS_9901', N'${company}店庆：${content}，活动时间${period}。详询${tel}', N'[{"key":"company_name","param":"company","desc":"公司"},{"key":"content","param":"content","desc":"活动内容"},{"key":"period","param":"period","desc":"活动时间"},{"key":"company_tel","param":"tel","desc":"电话"}]')
insert into qd_sys_alidayu(orgid, tpltype, tplname, tplid, tpltxt, tplparams) values(1, 99, N'放假通知', 'SMS_9902', N'尊敬的客户：${company}${holiday}期间${hours}，给您带来不便敬请谅解。地址：${addr}', N'[{"key":"company_name","param":"company","desc":"公司"},{"key":"holiday","param":"holiday","desc":"节日"},{"key":"hours","param":"hours","desc":"营业安排"},{"key":"company_addr","param":"addr","desc":"地址"}]')
insert into qd_sys_config(orgid, cfgkey, cfgvalue) values(1, 'sms.gateway', 'log')
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'SMSLOG', N'短信记录', N'短信记录', N'系统工具', 'TGridRibbonForm', N'{"mainsql": "select id, msgid, createtime, mobiles, tplcode, params, case status when 0 then N''待发送'' when 1 then N''发送中'' when 2 then N''已发送'' else N''发送失败'' end as statusname, tries, nexttry, sendtime, error from qd_sys_smsoutbox where orgid = :orgid", "sort": "id desc"}', N'[{"fieldname": "createtime", "label": "时间", "width": "130", "type": "date", "format": "yyyy-MM-dd hh:mm"}, {"fieldname": "mobiles", "label": "手机号码", "width": "160"}, {"fieldname": "tplcode", "label": "模板", "width": "80"}, {"fieldname": "params", "label": "参数", "width": "220"}, {"fieldname": "statusname", "label": "状态", "width": "70"}, {"fieldname": "tries", "label": "次数", "width": "50"}, {"fieldname": "nexttry", "label": "下次发送", "width": "130", "type": "date", "format": "yyyy-MM-dd hh:mm"}, {"fieldname": "sendtime", "label": "发送时间", "width": "130", "type": "date", "format": "yyyy-MM-dd hh:mm"}, {"fieldname": "error", "label": "错误", "width": "200"}, {"fieldname": "msgid", "label": "编号", "width": "100", "visiable": "false"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}]', 42)

-- Stores' default customers for one-off business (the file explorer's 选项): 天津分店 has none
-- yet. The dialog picks the customer through 客户会员查询, a read-only customer query.
update qd_b_ckbmk set kh_id = (select id from qd_b_khbmk where orgid = 1 and code = 'K0004') where orgid = 1 and code = 'MD01'
update qd_b_ckbmk set kh_id = (select id from qd_b_khbmk where orgid = 1 and code = 'K0001') where orgid = 1 and code = 'MD02'
update qd_b_ckbmk set kh_id = (select id from qd_b_khbmk where orgid = 1 and code = 'K0002') where orgid = 1 and code = 'MD03'
insert into qd_sys_plugins(orgid, code, name, title, groupname, formclass, plugininfo, columnsjson, isort) values(1, 'KHHY', N'客户会员查询', N'客户会员查询', N'基础资料', 'TMultiBasicRibbonForm', N'{"mainsql": "select t1.id, t1.code, t1.name, t1.mobile, t1.linkman, t1.card_id, t1.p1, t1.p2, t1.ck_id, c.name as ck_name from qd_b_khbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0", "sort": "t1.code", "tablename": "qd_b_khbmk", "key": "id", "ignoreFields": ["ck_name"], "validation": [], "filter": {"mainsql": "select t1.id, t1.code, t1.name, t1.mobile, t1.linkman, t1.helpcode, c.name as ck_name from qd_b_khbmk t1 left join qd_b_ckbmk c on t1.ck_id = c.id where t1.orgid = :orgid and t1.isdel = 0"}}', N'[{"fieldname": "code", "label": "编号", "width": "70"}, {"fieldname": "name", "label": "名称", "width": "170"}, {"fieldname": "mobile", "label": "手机", "width": "100"}, {"fieldname": "linkman", "label": "联系人", "width": "60"}, {"fieldname": "ck_name", "label": "所属门店", "width": "90"}, {"fieldname": "id", "label": "ID", "width": "50", "visiable": "false"}]', 11)
