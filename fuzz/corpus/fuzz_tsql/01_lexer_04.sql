select 1
select 'abc
