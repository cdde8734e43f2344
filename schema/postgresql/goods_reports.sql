-- Report tables of the goods reports (PostgreSQL). Each row belongs to one
-- workstation (computer); name holds the good id while a calculation merges
-- its sources and the good's name afterwards, nameid the good id. Harmless
-- to run again.

create table if not exists rpt_tol_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty double precision, amt double precision, everyprice double precision
);
create index if not exists rpt_tol_good_key on rpt_tol_good (computer, name);

create table if not exists rpt_zy_good (
  computer text, name text, nameid text, spec text, unitname text,
  qty double precision, amt double precision, everyprice double precision
);
create index if not exists rpt_zy_good_key on rpt_zy_good (computer, name);

create table if not exists rpt_kcrk (
  computer text, name text, nameid text, spec text, unitname text,
  qty double precision, amt double precision, everyprice double precision
);
create index if not exists rpt_kcrk_key on rpt_kcrk (computer, name);

create table if not exists rpt_fy_good (
  computer text, name text, nameid text, spec text, unitname text,
  FyQty double precision, FyAmt double precision, FyMzQty double precision,
  FyMzAmt double precision, FyZyQty double precision, FyZyAmt double precision
);
create index if not exists rpt_fy_good_key on rpt_fy_good (computer, name);

-- One quantity and amount pair per issue type code "1" to "9".
create table if not exists rpt_kcck (
  computer text, name text, nameid text, spec text, unitname text,
  qty double precision, amt double precision,
  qty1 double precision, amt1 double precision, qty2 double precision, amt2 double precision,
  qty3 double precision, amt3 double precision, qty4 double precision, amt4 double precision,
  qty5 double precision, amt5 double precision, qty6 double precision, amt6 double precision,
  qty7 double precision, amt7 double precision, qty8 double precision, amt8 double precision,
  qty9 double precision, amt9 double precision
);
create index if not exists rpt_kcck_key on rpt_kcck (computer, name);

create table if not exists rpt_kc_count (
  computer text, name text, nameid text, spec text, unitname text,
  InQty double precision, InJhAmt double precision, InSaleAmt double precision,
  CkQty double precision, CkAmt double precision,
  DbQty double precision, DbAmt double precision,
  PdQty double precision, PdAmt double precision,
  FyQty double precision, FyAmt double precision, FyMzQty double precision,
  FyMzAmt double precision, FyZyQty double precision, FyZyAmt double precision
);
create index if not exists rpt_kc_count_key on rpt_kc_count (computer, name);
