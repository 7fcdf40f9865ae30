create table t (
  id int not null,
  code varchar(10) collate Chinese_PRC_CI_AS not null,
  constraint pk_t primary key clustered (id),
  constraint uq_code unique nonclustered (code)
)
insert into t values(1, 'a')
insert into t values(2, 'A')
