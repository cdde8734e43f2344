-- Report tables of the inpatient category reports (SQLite). Each row
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
  amt real, qty integer, doamt real, nodoamt real,
  f01 real, f02 real, f03 real, f04 real, f05 real,
  f06 real, f07 real, f08 real, f09 real, f10 real,
  f11 real, f12 real, f13 real, f14 real, f15 real,
  f16 real, f17 real, f18 real, f19 real, f20 real
);
create index if not exists rpt_zy_type_key on rpt_zy_type (computer, name);

-- Inpatient charges by category: one row per category id.
create table if not exists rpt_zy_typedx (
  computer text, name text, nameid text,
  amt real, qty integer, doamt real, nodoamt real
);
create index if not exists rpt_zy_typedx_key on rpt_zy_typedx (computer, name);
