-- Fixed tables of the report database (PostgreSQL).
--
-- Every table is shared by all workstations; each row carries the
-- workstation name in `computer`, and every statement of a report is limited
-- to the calculating workstation's rows. The script is harmless to run
-- again: every statement creates only what is missing. It is split at the
-- semicolons and run one statement at a time.
--
-- Values reach these tables as text in value lists, bound as parameters of
-- no declared type: the server reads each as the column's type. Columns
-- holding amounts and quantities are numeric, which the server adds up
-- exactly (a sum of double precision values is added in an order the
-- server chooses and can differ in the last bits from run to run);
-- columns holding keys and codes are text so that "01" stays "01".

-- Header record: one row per workstation and report table.
create table if not exists rpt_header (
  computer text,
  rpttab text,
  headstr text,
  everyamt numeric,
  allqty integer,
  f1 numeric,
  f2 numeric,
  f3 numeric,
  f4 numeric,
  f5 numeric,
  f6 numeric,
  f7 numeric,
  f8 numeric,
  f9 numeric,
  f10 numeric,
  f11 numeric,
  f12 numeric,
  f13 numeric,
  f14 numeric,
  f15 numeric,
  f16 numeric,
  f17 numeric,
  f18 numeric,
  f19 numeric,
  f20 numeric,
  f21 numeric,
  f22 numeric,
  f23 numeric,
  f24 numeric,
  f25 numeric,
  f26 numeric,
  f27 numeric,
  f28 numeric,
  f29 numeric,
  f30 numeric,
  f31 numeric
);
create index if not exists rpt_header_computer on rpt_header (computer, rpttab);

-- Scratch rows of key counts over several source databases: one row per
-- group of (object, key) and source database. temid comes from SnValue.
create table if not exists tem_rpt_qty (
  temid bigint,
  computer text,
  RegID text,
  Name text,
  JzrDay text,
  ID text,
  objfield text,
  amt numeric
);
create index if not exists tem_rpt_qty_computer on tem_rpt_qty (computer, objfield);

-- Scratch copy of the stock rows of several source databases for the month
-- stock ledger: one row per source row and workstation. ID is text, ordered
-- numerically by the ledger; Type holds the movement code ("0" to "8").
create table if not exists tem_rpt_kcdetail (
  ID text,
  Computer text,
  GoodID text,
  YfCkID text,
  UnitID text,
  UnitPrice numeric,
  JhPrice numeric,
  UnitRate numeric,
  iDate text,
  Type text,
  FromID text,
  Qty numeric
);
create index if not exists tem_rpt_kcdetail_computer on tem_rpt_kcdetail (Computer, Type);

-- The sequence behind SnValue("TempID"). SnValue creates the sequence of
-- any other name on its first use.
create sequence if not exists qev_sn_tempid;

-- Every calculation the host services bracketed: which report table, for
-- which workstation, when it started and finished, and how it ended
-- ("running" until it ends, then "ok" or "failed" with the error).
create table if not exists qev_calculation (
  id bigserial primary key,
  rpttab text,
  computer text,
  started text,
  finished text,
  outcome text,
  errnumber integer,
  errtext text
);
create index if not exists qev_calculation_pair on qev_calculation (rpttab, computer, id);
