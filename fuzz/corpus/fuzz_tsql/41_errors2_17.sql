create table s (id int, v varchar(3))
insert into s values (1, 'a')
create table src (id int, a varchar(10))
insert into src values (1, 'abcd')
create table log (m varchar(200))


begin try insert into s select id, a from src end try
begin catch insert into log values (error_message()) end catch
begin try update x set v = src.a from s x join src on src.id = x.id end try
begin catch insert into log values (error_message()) end catch
