-- Demo organisation: customers of four stores (embedded database).
create table if not exists qd_b_khbmk (
  id integer primary key autoincrement,
  orgid integer not null default 1,
  ck_id integer not null default 0,
  code varchar(20) not null,
  name nvarchar(50) not null,
  helpcode varchar(20),
  mobile varchar(20),
  addr nvarchar(100),
  credit money default 0,
  isdel bit not null default 0,
  createdate datetime default (datetime('now','localtime')));
delete from qd_b_khbmk;
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0001', '徐静', '13423938499', '北京市朝阳区38号', 35119.12, '2026-06-19 10:03:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0002', '何强', '13040260662', '上海市浦东新区223号', 27405.08, '2026-04-03 10:35:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0003', '朱芳', '13887825707', '上海市浦东新区115号', 41328.80, '2026-10-02 10:36:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0004', '罗杰', '13053246119', '深圳市南山区24号', 36481.17, '2026-05-14 10:09:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0005', '林敏', '13613013910', '杭州市西湖区287号', 44695.23, '2026-02-19 10:36:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0006', '黄艳', '13104615284', '上海市浦东新区289号', 3906.79, '2026-04-16 10:43:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0007', '林娟', '13834543046', '成都市武侯区239号', 38375.58, '2026-06-10 10:15:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0008', '杨建华', '13837335688', '深圳市南山区42号', 37645.38, '2026-09-16 10:56:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0009', '徐晓东', '13481932046', '杭州市西湖区38号', 7737.65, '2026-07-06 10:48:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0010', '徐静', '13525020128', '南京市鼓楼区21号', 43792.09, '2026-09-19 10:50:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0011', '徐勇', '13746567715', '成都市武侯区255号', 38004.58, '2026-02-27 10:05:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0012', '吴明', '13748443217', '上海市浦东新区32号', 47917.89, '2026-05-21 10:36:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0013', '胡洋', '13769473236', '南京市鼓楼区178号', 1478.59, '2026-06-06 10:39:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0014', '刘明', '13063301824', '深圳市南山区148号', 8476.94, '2026-04-13 10:25:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0015', '郭娜', '13178634438', '武汉市洪山区206号', 36008.35, '2026-03-27 10:27:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0016', '林军', '13758487694', '南京市鼓楼区184号', 44742.48, '2026-04-05 10:05:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0017', '杨静', '13249061789', '深圳市南山区7号', 31782.75, '2026-03-09 10:18:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0018', '王静', '13449840379', '成都市武侯区290号', 20880.16, '2026-09-20 10:41:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0019', '李涛', '13965866211', '南京市鼓楼区204号', 26147.50, '2026-02-16 10:40:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0020', '马芳', '13204665439', '上海市浦东新区107号', 28876.20, '2026-02-11 10:38:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0021', '李敏', '13000250482', '广州市天河区275号', 6649.46, '2026-10-01 10:04:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0022', '黄平', '13403973202', '广州市天河区130号', 22766.77, '2026-06-16 10:07:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0023', '刘明', '13500352373', '武汉市洪山区248号', 20437.10, '2026-03-04 10:47:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0024', '徐晓东', '13284280550', '武汉市洪山区83号', 33838.02, '2026-04-17 10:23:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0025', '陈建华', '13583226946', '北京市朝阳区271号', 19535.82, '2026-02-23 10:54:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0026', '吴超', '13393740901', '广州市天河区183号', 14600.68, '2026-09-25 10:32:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0027', '徐刚', '13239489168', '深圳市南山区123号', 26259.94, '2026-04-07 10:33:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0028', '郭艳', '13784909565', '北京市朝阳区15号', 18311.60, '2026-05-07 10:44:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0029', '高艳', '13480207058', '成都市武侯区187号', 5278.28, '2026-02-08 10:30:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0030', '黄勇', '13219444228', '武汉市洪山区1号', 31422.83, '2026-06-26 10:41:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0031', '张桂英', '13128745538', '南京市鼓楼区103号', 31328.22, '2026-07-26 10:40:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0032', '徐娜', '13859877752', '南京市鼓楼区238号', 26305.95, '2026-02-24 10:10:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0033', '杨静', '13029580354', '广州市天河区239号', 42982.18, '2026-10-27 10:38:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0034', '郭桂英', '13376247204', '广州市天河区281号', 35932.16, '2026-01-01 10:51:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0035', '刘超', '13804765445', '广州市天河区223号', 12766.27, '2026-01-09 10:13:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0036', '周超', '13258277203', '成都市武侯区133号', 35674.53, '2026-03-02 10:58:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0037', '孙涛', '13711326932', '南京市鼓楼区257号', 8569.68, '2026-03-17 10:32:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0038', '王涛', '13833767140', '广州市天河区3号', 9817.22, '2026-03-16 10:39:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0039', '刘秀英', '13066309234', '成都市武侯区266号', 34781.71, '2026-08-26 10:49:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0040', '刘秀英', '13061012773', '深圳市南山区98号', 18148.05, '2026-02-17 10:28:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0041', '林伟', '13816036417', '上海市浦东新区227号', 21339.78, '2026-09-20 10:32:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0042', '黄建华', '13297625709', '武汉市洪山区261号', 34949.61, '2026-09-08 10:44:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0043', '何军', '13990832001', '深圳市南山区230号', 8987.53, '2026-02-13 10:28:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0044', '徐娜', '13720647678', '深圳市南山区220号', 4792.27, '2026-11-10 10:50:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0045', '刘海燕', '13165835798', '成都市武侯区74号', 16587.17, '2026-08-08 10:47:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0046', '刘杰', '13950189441', '武汉市洪山区84号', 43767.28, '2026-03-23 10:27:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0047', '何杰', '13364123187', '南京市鼓楼区101号', 23371.40, '2026-02-24 10:23:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0048', '王勇', '13594906926', '武汉市洪山区226号', 46081.02, '2026-07-11 10:33:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0049', '高洋', '13550037437', '上海市浦东新区58号', 14978.13, '2026-02-09 10:17:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0050', '李海燕', '13194939322', '杭州市西湖区67号', 27672.86, '2026-05-13 10:09:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0051', '林超', '13612671635', '武汉市洪山区168号', 5862.35, '2026-01-26 10:44:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0052', '杨娟', '13961305176', '上海市浦东新区138号', 1103.81, '2026-02-26 10:16:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0053', '张平', '13919368500', '深圳市南山区35号', 17331.15, '2026-08-01 10:21:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0054', '林娟', '13995003562', '杭州市西湖区67号', 2831.67, '2026-04-04 10:10:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0055', '吴芳', '13194504003', '深圳市南山区160号', 41200.39, '2026-09-25 10:13:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0056', '周涛', '13536966045', '广州市天河区139号', 22741.02, '2026-05-02 10:00:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 2, 'K0057', '王晓东', '13542941825', '深圳市南山区264号', 31113.31, '2026-08-04 10:42:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 3, 'K0058', '朱桂英', '13531503893', '南京市鼓楼区260号', 20170.88, '2026-04-08 10:21:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 4, 'K0059', '黄建华', '13782590468', '广州市天河区208号', 22777.06, '2026-03-01 10:04:00');
insert into qd_b_khbmk(orgid, ck_id, code, name, mobile, addr, credit, createdate) values(1, 1, 'K0060', '吴娟', '13175284619', '北京市朝阳区44号', 43596.48, '2026-09-22 10:18:00');
