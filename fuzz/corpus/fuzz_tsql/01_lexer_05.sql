select 1 /* never closed
