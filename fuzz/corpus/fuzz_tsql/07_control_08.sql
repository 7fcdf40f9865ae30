set nocount on
set xact_abort on
select 1
