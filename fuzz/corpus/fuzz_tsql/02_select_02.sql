select top 0 cast('' as varchar(50)) as fieldname, cast('' as varchar(50)) deftitle, cast(0 as smallint) as decimalcount, cast(1 as bit) display
