-- Report tables of the inpatient category reports (PostgreSQL). Each row
-- belongs to one workstation (computer); name holds the row's key (an
-- object value or a category id) while a calculation merges its sources
-- and the display name afterwards, nameid the key. doamt and nodoamt split
-- amt into what was already dispensed and what was not, for the views that
-- carry the flag; every calculation reads both, so both tables have them.
-- Harmless to run again.

-- Inpatient charges by object and category: one amount column per category
-- id "01" to "20" (f01 to f20) beside the row's total and registration
-- count.
create table if not exists rpt_zy_type (
  computer text, name text, nameid text,
  amt numeric, qty integer, doamt numeric, nodoamt numeric,
  f01 numeric, f02 numeric, f03 numeric, f04 numeric, f05 numeric,
  f06 numeric, f07 numeric, f08 numeric, f09 numeric, f10 numeric,
  f11 numeric, f12 numeric, f13 numeric, f14 numeric, f15 numeric,
  f16 numeric, f17 numeric, f18 numeric, f19 numeric, f20 numeric
);
create index if not exists rpt_zy_type_key on rpt_zy_type (computer, name);

-- Inpatient charges by category: one row per category id.
create table if not exists rpt_zy_typedx (
  computer text, name text, nameid text,
  amt numeric, qty integer, doamt numeric, nodoamt numeric
);
create index if not exists rpt_zy_typedx_key on rpt_zy_typedx (computer, name);
