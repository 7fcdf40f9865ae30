create table t (g geography)
