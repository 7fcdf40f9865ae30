-- Framework database schema (T-SQL). Runs as written on SQL Server and, through the T-SQL
-- translator, on SQLite. Every table has an identity key `id` and the organisation `orgid`.

-- ===== System services: settings, logins, rights, plug-in registry, logs, files =====

-- System settings per organisation ("company", "addr", "tel", "footer", ...).
create table dbo.qd_sys_config (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  cfgkey varchar(50) not null default '',
  cfgvalue nvarchar(max) null,
  memo nvarchar(200) null
)

create index ix_qd_sys_config_key on dbo.qd_sys_config(orgid, cfgkey)

-- Login accounts; yg_id is the employee whose id, code and name form the session's user id, code and name.
create table dbo.qd_sys_users (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(50) null,
  yg_id int not null default 0,
  pwdhash varchar(128) null,
  pwdsalt varchar(64) null,
  isadmin bit not null default 0,
  datascope int not null default 0,
  ck_id int not null default 0,
  lastlogin datetime null,
  memo nvarchar(500) null,
  isdel bit not null default 0,
  createtime datetime null default getdate()
)

create index ix_qd_sys_users_code on dbo.qd_sys_users(orgid, code)

-- Roles that bundle right codes.
create table dbo.qd_sys_roles (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(50) null,
  memo nvarchar(500) null,
  isdel bit not null default 0
)

-- Roles held by a user (userid = session user id).
create table dbo.qd_sys_userroles (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  userid int not null default 0,
  roleid int not null default 0
)

create index ix_qd_sys_userroles_user on dbo.qd_sys_userroles(userid, roleid)

-- Right codes granted to a role (module code + suffix, or "2100_" + report code).
create table dbo.qd_sys_rights (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  roleid int not null default 0,
  rightcode varchar(50) not null default ''
)

create index ix_qd_sys_rights_role on dbo.qd_sys_rights(roleid, rightcode)

-- Right codes granted to one user directly, on top of the user's roles.
create table dbo.qd_sys_userrights (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  userid int not null default 0,
  rightcode varchar(50) not null default ''
)

create index ix_qd_sys_userrights_user on dbo.qd_sys_userrights(userid, rightcode)

-- Stores a user may see in store and employee lookups (uid = session user id).
create table dbo.qd_auth_ck_access (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  uid int not null default 0,
  ck_id int not null default 0
)

create index ix_qd_auth_ck_access_uid on dbo.qd_auth_ck_access(uid, ck_id)

-- Failed logins in a row, per user code (kind 'user': the code as typed, in lower case) and per
-- client (kind 'client': the workstation's name); from the fifth on, the next attempt must wait.
-- A correct password deletes the rows of its user code and client.
create table dbo.qd_sys_loginfails (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  kind varchar(10) not null default '',
  name nvarchar(100) not null default '',
  failures int not null default 0,
  lastfail datetime null
)

create unique index ix_qd_sys_loginfails_key on dbo.qd_sys_loginfails(orgid, kind, name)

-- Plug-in registry: one row per module with its descriptor, columns, expand texts and window class.
create table dbo.qd_sys_plugins (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(100) not null default '',
  title nvarchar(100) null,
  groupname nvarchar(50) null,
  formclass varchar(100) null,
  plugininfo nvarchar(max) null,
  columnsjson nvarchar(max) null,
  expandinfo nvarchar(max) null,
  isort int not null default 0,
  isdel bit not null default 0
)

create index ix_qd_sys_plugins_name on dbo.qd_sys_plugins(orgid, name)

create index ix_qd_sys_plugins_code on dbo.qd_sys_plugins(orgid, code)

-- Operation log written by logger (删除, 修改前, 修改后, 审核, 草稿) with the bill's JSON image.
create table dbo.qd_sys_operlog (
  id bigint identity(1,1) primary key,
  orgid int not null default 0,
  modulecode varchar(30) null,
  moduletitle nvarchar(100) null,
  billno varchar(50) null,
  action nvarchar(20) null,
  data nvarchar(max) null,
  userid int not null default 0,
  username nvarchar(50) null,
  ck_id int not null default 0,
  logtime datetime not null default getdate()
)

create index ix_qd_sys_operlog_bill on dbo.qd_sys_operlog(orgid, modulecode, billno)

-- File store behind putFile / downloadFile / delAttachFile: one row per stored name (a content
-- hash), refcount the attachment rows sharing it; the content in a table of its own under the
-- same id, so that counting a reference never rewrites a large file. The data services make
-- both, or bring an older store up to date, when they open the database, before the schema is
-- first applied.
if object_id('dbo.qd_sys_filestore') is null
begin
  create table dbo.qd_sys_filestore (
    id int identity(1,1) primary key,
    orgid int not null default 0,
    name nvarchar(255) not null default '',
    md5 varchar(32) null,
    size bigint not null default 0,
    created datetime not null default getdate(),
    refcount int not null default 1
  )
  
  create index ix_qd_sys_filestore_name on dbo.qd_sys_filestore(name)
end

if object_id('dbo.qd_sys_filestore_content') is null
  create table dbo.qd_sys_filestore_content (
    id int not null primary key,
    content varbinary(max) null
  )

-- Bill number serials per store, bill code and number stem (prefix, date and store tag).
create table dbo.qd_sys_billnoseq (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  billcode varchar(30) not null default '',
  seqkey varchar(30) not null default '',
  lastno int not null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_sys_billnoseq_key on dbo.qd_sys_billnoseq(orgid, ck_id, billcode, seqkey)

-- ===== Foundation: grid layouts =====

-- Saved grid view layouts per organisation, layout key, store (0 = all stores) and view.
create table dbo.qd_sys_columnconfig (
  id int identity(1,1) primary key,
  orgid varchar(10) not null default '0',
  billcode varchar(50) not null default '',
  ck_id int not null default 0,
  cxgname varchar(100) not null default '',
  columnstyle varbinary(max) null,
  lastupdate datetime null default getdate()
)

create index ix_qd_sys_columnconfig_key on dbo.qd_sys_columnconfig(orgid, billcode, cxgname, ck_id)

-- ===== Master data =====

-- Two-level category trees of the categorised modules (iclass = module code, pid 0 = top level).
create table dbo.qd_b_category (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  pid int not null default 0,
  code varchar(30) null,
  name nvarchar(50) null,
  iclass varchar(30) not null default '',
  isort int not null default 0,
  isdel bit not null default 0
)

create index ix_qd_b_category_tree on dbo.qd_b_category(orgid, iclass, pid)

-- Stores (门店) with their bill number tag, default customer and default file folder.
create table dbo.qd_b_ckbmk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(50) null,
  helpcode varchar(30) null,
  billtag varchar(10) null,
  linkman nvarchar(30) null,
  tel varchar(30) null,
  addr nvarchar(100) null,
  kh_id int not null default 0,
  rootdir nvarchar(255) null,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_b_ckbmk_code on dbo.qd_b_ckbmk(orgid, code)

-- Employees; an employee's id is the user id that logs, tickets and bills record.
create table dbo.qd_b_ygbmk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(50) null,
  helpcode varchar(30) null,
  mobile varchar(20) null,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_b_ygbmk_code on dbo.qd_b_ygbmk(orgid, code)

create index ix_qd_b_ygbmk_ck on dbo.qd_b_ygbmk(orgid, ck_id)

-- Customers and members, filed under the customer category tree (p1, p2).
create table dbo.qd_b_khbmk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  p1 int not null default 0,
  p2 int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(50) null,
  helpcode varchar(30) null,
  card_id int null default 0,
  linkman nvarchar(30) null,
  mobile varchar(20) null,
  addr nvarchar(100) null,
  credit money null default 0,
  extend nvarchar(max) null,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0,
  createdate datetime null default getdate(),
  lastupdate datetime null default getdate()
)

create index ix_qd_b_khbmk_code on dbo.qd_b_khbmk(orgid, code)

create index ix_qd_b_khbmk_cat on dbo.qd_b_khbmk(orgid, p1, p2)

-- Summary phrases (摘要) offered by the summary picker of bill headers.
create table dbo.qd_b_zybmk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) null,
  name nvarchar(100) null,
  helpcode varchar(30) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_b_zybmk_name on dbo.qd_b_zybmk(orgid, name)

-- Items (项目) with model/size (规格) and unit, filed under the item category tree (p1, p2).
create table dbo.qd_b_xmbmk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  p1 int not null default 0,
  p2 int not null default 0,
  code varchar(30) not null default '',
  name nvarchar(100) null,
  helpcode varchar(30) null,
  itemno nvarchar(50) null,
  baseunit nvarchar(10) null,
  dj decimal(18,4) null default 0,
  extend nvarchar(max) null,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_b_xmbmk_code on dbo.qd_b_xmbmk(orgid, code)

create index ix_qd_b_xmbmk_cat on dbo.qd_b_xmbmk(orgid, p1, p2)

-- Production flow nodes of orders (names fit the tracking view's varchar(10) column).
create table dbo.qd_b_flow (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) null,
  name nvarchar(10) null,
  isort int not null default 0,
  isdel bit not null default 0,
  lastupdate datetime null default getdate()
)

-- ===== Business documents: bill rules, logs, attachments, tickets, production orders =====

-- Default bill rule of each bill module (name, number prefix, number rule, serial length).
create table dbo.qd_sys_billnorule (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  billcode varchar(30) not null default '',
  caption nvarchar(50) null,
  tag nvarchar(5) null,
  istyle int not null default 0,
  seekcount int not null default 4
)

create unique index ix_qd_sys_billnorule_code on dbo.qd_sys_billnorule(billcode)

-- A store's own bill rule, copied from the default on first use, with switches and column settings.
create table dbo.qd_sys_billnorule_user (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  billcode varchar(30) not null default '',
  caption nvarchar(50) null,
  tag nvarchar(5) null,
  istyle int not null default 0,
  seekcount int not null default 4,
  gridconfig nvarchar(max) null,
  autowidth bit not null default 0,
  flag varchar(30) null
)

create index ix_qd_sys_billnorule_user_key on dbo.qd_sys_billnorule_user(orgid, ck_id, billcode)

-- One row per audit (审核) or un-audit (草稿) of a bill, with the auditor's note.
create table dbo.qd_sys_billaudit_logs (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  modulecode varchar(30) null,
  billtype nvarchar(100) null,
  billno varchar(50) null,
  ck_id int not null default 0,
  czy_id int not null default 0,
  auditmsg nvarchar(max) null,
  auditstate nvarchar(10) null,
  createtime datetime not null default getdate()
)

create index ix_qd_sys_billaudit_logs_bill on dbo.qd_sys_billaudit_logs(orgid, modulecode, billno)

-- One row per completed print of a bill.
create table dbo.qd_sys_billpirnt_logs (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  modulecode varchar(30) null,
  billtype nvarchar(100) null,
  billno varchar(50) null,
  ck_id int not null default 0,
  czy_id int not null default 0,
  createtime datetime not null default getdate()
)

create index ix_qd_sys_billpirnt_logs_bill on dbo.qd_sys_billpirnt_logs(orgid, modulecode, billno)

-- Files attached to a bill; realName is the stored name (MD5 of the content + extension).
create table dbo.qd_sys_attachList (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  billcode varchar(30) null,
  billno varchar(50) null,
  fileName nvarchar(255) null,
  realName nvarchar(100) null,
  filesize int not null default 0,
  suffix nvarchar(50) null,
  suffixInfo nvarchar(50) null,
  remark nvarchar(500) null,
  createtime datetime null default getdate()
)

create index ix_qd_sys_attachList_bill on dbo.qd_sys_attachList(orgid, billcode, billno)

-- Feedback messages left on a bill (biztype = module title, bizid = master id).
create table dbo.qd_sys_tickets (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  biztype nvarchar(100) null,
  bizid int not null default 0,
  czy_id int not null default 0,
  lastupdate datetime null default getdate(),
  msg nvarchar(max) null
)

create index ix_qd_sys_tickets_biz on dbo.qd_sys_tickets(orgid, biztype, bizid)

-- Production orders (项目订单): bill master rows with status, version and audit columns.
create table dbo.qd_x_xmzzk (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  billno varchar(50) not null default '',
  billdate datetime null default getdate(),
  status int not null default 0,
  version int not null default 0,
  kdr_id int not null default 0,
  kh_id int not null default 0,
  ywy_id int not null default 0,
  flow_id int not null default 0,
  gcxmmc nvarchar(100) null,
  zy nvarchar(100) null,
  je decimal(18,4) null default 0,
  filedir nvarchar(255) null,
  beizhu nvarchar(500) null,
  zfflag bit not null default 0,
  auditdate datetime null,
  shy_id int not null default 0,
  printcount int null default 0,
  lastupdate datetime null default getdate()
)

create index ix_qd_x_xmzzk_billno on dbo.qd_x_xmzzk(orgid, billno)

-- Reports select orders by date.
create index ix_qd_x_xmzzk_date on dbo.qd_x_xmzzk(orgid, billdate)

create index ix_qd_x_xmzzk_kh on dbo.qd_x_xmzzk(orgid, kh_id, billdate)

-- A store's orders by number: the neighbours a bill window steps to (前单 / 后单).
create index ix_qd_x_xmzzk_store on dbo.qd_x_xmzzk(orgid, ck_id, billno)

-- Production order lines; uid is the line's own unique id, billno links it to its order.
create table dbo.qd_x_xmzzk_mx (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  billno varchar(50) not null default '',
  uid varchar(50) null,
  xm_id int not null default 0,
  gcxmmc nvarchar(100) null,
  sl decimal(18,4) null default 0,
  n int null default 0,
  x decimal(18,4) null default 0,
  y decimal(18,4) null default 0,
  dj decimal(18,4) null default 0,
  zk decimal(18,4) null,
  je decimal(18,4) null default 0,
  itemno nvarchar(50) null,
  baseunit nvarchar(10) null,
  filename nvarchar(260) null,
  beizhu nvarchar(500) null
)

create index ix_qd_x_xmzzk_mx_billno on dbo.qd_x_xmzzk_mx(orgid, billno)

create index ix_qd_x_xmzzk_mx_xm on dbo.qd_x_xmzzk_mx(orgid, xm_id)

-- Work records of an order's flow nodes (start, end, operator, done flag).
create table dbo.qd_sys_doworks (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  ck_id int not null default 0,
  xmzzk_id int not null default 0,
  flow_id int not null default 0,
  bt datetime null,
  et datetime null,
  czy_id int not null default 0,
  isdone bit not null default 0,
  memo nvarchar(500) null
)

create index ix_qd_sys_doworks_order on dbo.qd_sys_doworks(xmzzk_id)

-- ===== Reports =====

-- Report catalogue: report code, title (the key reports are opened by) and form descriptor.
create table dbo.qd_sys_rptmain (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  code varchar(30) not null default '',
  title nvarchar(100) not null default '',
  groupname nvarchar(50) null,
  pluginfo nvarchar(max) null,
  memo nvarchar(500) null,
  isort int not null default 0,
  isdel bit not null default 0
)

create index ix_qd_sys_rptmain_title on dbo.qd_sys_rptmain(title)

-- ===== Printing =====

-- Print templates per module key with their template file bytes and sharing (owner 0/1/2).
create table dbo.qd_sys_printdocs (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  modulecode varchar(60) not null default '',
  code varchar(30) null,
  docname nvarchar(100) null,
  docfile varbinary(max) null,
  owner int not null default 0,
  ck_id int not null default 0,
  isort int not null default 0,
  createtime datetime null default getdate()
)

create index ix_qd_sys_printdocs_module on dbo.qd_sys_printdocs(orgid, modulecode)

-- Stores a template of owner 2 (分享（指定门店）) is shared with.
create table dbo.qd_sys_printdocs_ck (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  rpt_id int not null default 0,
  ck_id int not null default 0
)

create index ix_qd_sys_printdocs_ck_rpt on dbo.qd_sys_printdocs_ck(rpt_id, ck_id)

create index ix_qd_sys_printdocs_ck_ck on dbo.qd_sys_printdocs_ck(ck_id)

-- ===== Notifications and utilities =====

-- SMS templates: group, name, gateway template code, text with ${param} and parameter list.
create table dbo.qd_sys_alidayu (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  tpltype int not null default 0,
  tplname nvarchar(50) null,
  tplid varchar(50) null,
  tpltxt nvarchar(500) null,
  tplparams nvarchar(max) not null default '[]'
)

create index ix_qd_sys_alidayu_type on dbo.qd_sys_alidayu(tpltype)

-- Data checkup catalogue: one counting statement per check and how its count is judged.
create table dbo.qd_sys_checkitems (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  category nvarchar(50) null,
  title nvarchar(100) null,
  isort int not null default 0,
  checksql nvarchar(max) null,
  resultrule int not null default 0
)

-- Lookup picks per organisation, user and lookup (the lookup's name in its form): how often
-- and when last each key was picked, so that a drop-down lists the user's recent picks first.
create table dbo.qd_sys_lookuppicks (
  orgid int not null default 0,
  userid int not null default 0,
  lookupname nvarchar(100) not null default '',
  keyvalue nvarchar(100) not null default '',
  pickcount int not null default 0,
  lasttime datetime null default getdate(),
  primary key (orgid, userid, lookupname, keyvalue)
)

-- Data checkup: a check's severity (0 提示, 1 警告, 2 严重), the statement listing the rows it
-- finds and the statement repairing them.
alter table dbo.qd_sys_checkitems add severity int not null default 0
alter table dbo.qd_sys_checkitems add detailsql nvarchar(max) null
alter table dbo.qd_sys_checkitems add fixsql nvarchar(max) null

-- SMS outbox: one row per message handed to the gateway, kept until it is sent or given up.
-- status 0 待发送, 1 发送中 (claimed by one client at claimedat), 2 已发送, 3 发送失败.
create table dbo.qd_sys_smsoutbox (
  id int identity(1,1) primary key,
  orgid int not null default 0,
  msgid varchar(50) not null default '',
  mobiles nvarchar(max) null,
  tplcode varchar(50) null,
  params nvarchar(max) null,
  status int not null default 0,
  tries int not null default 0,
  claimtoken varchar(50) null,
  claimedat datetime null,
  nexttry datetime null,
  createtime datetime null,
  sendtime datetime null,
  error nvarchar(500) null
)

create index ix_qd_sys_smsoutbox_due on dbo.qd_sys_smsoutbox(status, nexttry)
create index ix_qd_sys_smsoutbox_claim on dbo.qd_sys_smsoutbox(claimtoken)
