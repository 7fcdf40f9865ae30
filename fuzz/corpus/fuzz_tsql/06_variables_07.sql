create table t (id int, name nvarchar(10))
insert into t values(1, N'甲')


declare @table table(flow_name varchar(10), dt datetime, czy_id int, status varchar(10))
insert into @table select name, '2024-01-01', id, N'完成' from t
insert into @table(flow_name, dt, czy_id, status) values(N'下单', '2023-12-31', 0, N'下单完成')
select flow_name + ':' + status from @table order by dt
