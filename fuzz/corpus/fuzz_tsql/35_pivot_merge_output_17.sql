create table t (id int, code varchar(10), amt decimal(10,2))
insert into t values (1, '甲', 1.5), (2, '乙', 2), (3, '丙', 3)


delete from t output deleted.* where id >= 2
