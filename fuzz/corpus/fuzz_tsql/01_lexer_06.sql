select 1 ? 2
