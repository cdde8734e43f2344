-- Report tables of the goods reports (PostgreSQL). Each row belongs to one
-- workstation (computer); name holds the good id while a calculation merges
-- its sources and the good's name afterwards, nameid the good id. Harmless
-- to run again.
-- Quantities and amounts are numeric, which the server stores and adds up
-- exactly, so that the figures are those of the same data on SQLite.

create table if not exists rpt_tol_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty numeric, amt numeric, everyprice numeric
);
create index if not exists rpt_tol_good_key on rpt_tol_good (computer, name);

create table if not exists rpt_zy_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty numeric, amt numeric, everyprice numeric
);
create index if not exists rpt_zy_good_key on rpt_zy_good (computer, name);

create table if not exists rpt_kcrk (
  computer text, name text, nameid text, spec text, unitname text,
  qty numeric, amt numeric, everyprice numeric
);
create index if not exists rpt_kcrk_key on rpt_kcrk (computer, name);

create table if not exists rpt_fy_good (
  computer text, name text, nameid text, spec text, unitname text,
  FyQty numeric, FyAmt numeric, FyMzQty numeric,
  FyMzAmt numeric, FyZyQty numeric, FyZyAmt numeric
);
create index if not exists rpt_fy_good_key on rpt_fy_good (computer, name);

-- One quantity and amount pair per issue type code "1" to "9".
create table if not exists rpt_kcck (
  computer text, name text, nameid text, spec text, unitname text,
  qty numeric, amt numeric,
  qty1 numeric, amt1 numeric, qty2 numeric, amt2 numeric,
  qty3 numeric, amt3 numeric, qty4 numeric, amt4 numeric,
  qty5 numeric, amt5 numeric, qty6 numeric, amt6 numeric,
  qty7 numeric, amt7 numeric, qty8 numeric, amt8 numeric,
  qty9 numeric, amt9 numeric
);
create index if not exists rpt_kcck_key on rpt_kcck (computer, name);

create table if not exists rpt_kc_count (
  computer text, name text, nameid text, spec text, unitname text,
  InQty numeric, InJhAmt numeric, InSaleAmt numeric,
  CkQty numeric, CkAmt numeric,
  DbQty numeric, DbAmt numeric,
  PdQty numeric, PdAmt numeric,
  FyQty numeric, FyAmt numeric, FyMzQty numeric,
  FyMzAmt numeric, FyZyQty numeric, FyZyAmt numeric
);
create index if not exists rpt_kc_count_key on rpt_kc_count (computer, name);
