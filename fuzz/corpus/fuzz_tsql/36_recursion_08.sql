select 1 option (recompile)
