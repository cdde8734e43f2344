-- Report tables of the category reports (PostgreSQL). Each row belongs to
-- one workstation (computer); name holds the row's key (an object value or
-- a category id) while a calculation merges its sources and the display
-- name afterwards, nameid the key. Harmless to run again.
-- Quantities and amounts are numeric, which the server stores and adds up
-- exactly, so that the figures are those of the same data on SQLite.

-- Amounts by object and category: one amount column per category id
-- "01" to "20" (f01 to f20) beside the row's total, key count, average and
-- share.
create table if not exists rpt_tol_type (
  computer text, name text, nameid text,
  amt numeric, qty integer, everyamt numeric, ipercent text,
  f01 numeric, f02 numeric, f03 numeric, f04 numeric,
  f05 numeric, f06 numeric, f07 numeric, f08 numeric,
  f09 numeric, f10 numeric, f11 numeric, f12 numeric,
  f13 numeric, f14 numeric, f15 numeric, f16 numeric,
  f17 numeric, f18 numeric, f19 numeric, f20 numeric
);
create index if not exists rpt_tol_type_key on rpt_tol_type (computer, name);

-- Amounts by category: one row per category id.
create table if not exists rpt_tol_typedx (
  computer text, name text, nameid text,
  amt numeric, qty integer, everyamt numeric, ipercent text
);
create index if not exists rpt_tol_typedx_key on rpt_tol_typedx (computer, name);
