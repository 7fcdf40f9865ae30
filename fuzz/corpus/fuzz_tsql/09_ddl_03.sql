create table #work (id int)
if object_id('tempdb..#work') is not null drop table #work
select case when object_id('tempdb..#work') is null then 'gone' else 'there' end
