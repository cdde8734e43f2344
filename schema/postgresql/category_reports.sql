-- Report tables of the category reports (PostgreSQL). Each row belongs to
-- one workstation (computer); name holds the row's key (an object value or
-- a category id) while a calculation merges its sources and the display
-- name afterwards, nameid the key. Harmless to run again.

-- Amounts by object and category: one amount column per category id
-- "01" to "20" (f01 to f20) beside the row's total, key count, average and
-- share.
create table if not exists rpt_tol_type (
  computer text, name text, nameid text,
  amt double precision, qty integer, everyamt double precision, ipercent text,
  f01 double precision, f02 double precision, f03 double precision, f04 double precision,
  f05 double precision, f06 double precision, f07 double precision, f08 double precision,
  f09 double precision, f10 double precision, f11 double precision, f12 double precision,
  f13 double precision, f14 double precision, f15 double precision, f16 double precision,
  f17 double precision, f18 double precision, f19 double precision, f20 double precision
);
create index if not exists rpt_tol_type_key on rpt_tol_type (computer, name);

-- Amounts by category: one row per category id.
create table if not exists rpt_tol_typedx (
  computer text, name text, nameid text,
  amt double precision, qty integer, everyamt double precision, ipercent text
);
create index if not exists rpt_tol_typedx_key on rpt_tol_typedx (computer, name);
