-- Report tables of the category reports (SQLite). Each row belongs to one
-- workstation (computer); name holds the row's key (an object value or a
-- category id) while a calculation merges its sources and the display name
-- afterwards, nameid the key. Harmless to run again.

-- Amounts by object and category: one amount column per category id
-- "01" to "20" (f01 to f20) beside the row's total, key count, average and
-- share.
create table if not exists rpt_tol_type (
  computer text, name text, nameid text,
  amt real, qty integer, everyamt real, ipercent text,
  f01 real, f02 real, f03 real, f04 real, f05 real,
  f06 real, f07 real, f08 real, f09 real, f10 real,
  f11 real, f12 real, f13 real, f14 real, f15 real,
  f16 real, f17 real, f18 real, f19 real, f20 real
);
create index if not exists rpt_tol_type_key on rpt_tol_type (computer, name);

-- Amounts by category: one row per category id.
create table if not exists rpt_tol_typedx (
  computer text, name text, nameid text,
  amt real, qty integer, everyamt real, ipercent text
);
create index if not exists rpt_tol_typedx_key on rpt_tol_typedx (computer, name);
