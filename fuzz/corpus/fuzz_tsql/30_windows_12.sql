select v,
  row_number() from (select 1 as v) x
