-- Report tables of the day-by-day reports (PostgreSQL). Each row belongs to one
-- workstation (computer) and one object (a department, a doctor, a
-- category, a good or any other key): name holds the object value while a
-- calculation merges its sources and the display name afterwards, nameid
-- the object value. f1 to f31 hold the figure of each day of the month
-- (amounts, or counts of keys), amt the row's total; a day that no source
-- row touched stays NULL. Harmless to run again.

-- Outpatient charges (or any source view with JzrDay) by object and day.
create table if not exists rpt_tol_day (
  computer text, name text, nameid text, amt numeric,
  f1 numeric, f2 numeric, f3 numeric, f4 numeric, f5 numeric, f6 numeric,
  f7 numeric, f8 numeric, f9 numeric, f10 numeric, f11 numeric, f12 numeric,
  f13 numeric, f14 numeric, f15 numeric, f16 numeric, f17 numeric, f18 numeric,
  f19 numeric, f20 numeric, f21 numeric, f22 numeric, f23 numeric, f24 numeric,
  f25 numeric, f26 numeric, f27 numeric, f28 numeric, f29 numeric, f30 numeric,
  f31 numeric
);
create index if not exists rpt_tol_day_key on rpt_tol_day (computer, name);

-- Inpatient charges by object and accounting day (CountDate).
create table if not exists rpt_zy_day (
  computer text, name text, nameid text, amt numeric,
  f1 numeric, f2 numeric, f3 numeric, f4 numeric, f5 numeric, f6 numeric,
  f7 numeric, f8 numeric, f9 numeric, f10 numeric, f11 numeric, f12 numeric,
  f13 numeric, f14 numeric, f15 numeric, f16 numeric, f17 numeric, f18 numeric,
  f19 numeric, f20 numeric, f21 numeric, f22 numeric, f23 numeric, f24 numeric,
  f25 numeric, f26 numeric, f27 numeric, f28 numeric, f29 numeric, f30 numeric,
  f31 numeric
);
create index if not exists rpt_zy_day_key on rpt_zy_day (computer, name);
