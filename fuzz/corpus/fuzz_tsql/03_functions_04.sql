select len(newid()), case when newid() = newid() then 1 else 0 end
