create table goods (code varchar(10), price money)
create view [priced goods] as select code, price from [goods] where price > 0


update [priced goods] set price = 1
