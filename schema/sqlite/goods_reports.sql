-- Report tables of the goods reports (SQLite). Each row belongs to one
-- workstation (computer); name holds the good id while a calculation merges
-- its sources and the good's name afterwards, nameid the good id. Harmless
-- to run again.

create table if not exists rpt_tol_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty real, amt real, everyprice real
);
create index if not exists rpt_tol_good_key on rpt_tol_good (computer, name);

create table if not exists rpt_zy_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty real, amt real, everyprice real
);
create index if not exists rpt_zy_good_key on rpt_zy_good (computer, name);

create table if not exists rpt_kcrk (
  computer text, name text, nameid text, spec text, unitname text,
  qty real, amt real, everyprice real
);
create index if not exists rpt_kcrk_key on rpt_kcrk (computer, name);

create table if not exists rpt_fy_good (
  computer text, name text, nameid text, spec text, unitname text,
  FyQty real, FyAmt real, FyMzQty real, FyMzAmt real, FyZyQty real, FyZyAmt real
);
create index if not exists rpt_fy_good_key on rpt_fy_good (computer, name);

-- One quantity and amount pair per issue type code "1" to "9".
create table if not exists rpt_kcck (
  computer text, name text, nameid text, spec text, unitname text,
  qty real, amt real,
  qty1 real, amt1 real, qty2 real, amt2 real, qty3 real, amt3 real,
  qty4 real, amt4 real, qty5 real, amt5 real, qty6 real, amt6 real,
  qty7 real, amt7 real, qty8 real, amt8 real, qty9 real, amt9 real
);
create index if not exists rpt_kcck_key on rpt_kcck (computer, name);

create table if not exists rpt_kc_count (
  computer text, name text, nameid text, spec text, unitname text,
  InQty real, InJhAmt real, InSaleAmt real,
  CkQty real, CkAmt real,
  DbQty real, DbAmt real,
  PdQty real, PdAmt real,
  FyQty real, FyAmt real, FyMzQty real, FyMzAmt real, FyZyQty real, FyZyAmt real
);
create index if not exists rpt_kc_count_key on rpt_kc_count (computer, name);
