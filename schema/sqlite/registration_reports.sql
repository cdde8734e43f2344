-- Report table of the registrations by department and day (SQLite).
-- One row per workstation (computer) and department: name holds the
-- department id while the registrations are counted and the department's
-- name afterwards, nameid the id; amt is the department's number of
-- registrations, f1 to f31 the number on each day of the month (NULL on a
-- day without any). Harmless to run again.
create table if not exists rpt_regcz_day (
  computer text, name text, nameid text, amt numeric,
  f1 numeric, f2 numeric, f3 numeric, f4 numeric, f5 numeric, f6 numeric,
  f7 numeric, f8 numeric, f9 numeric, f10 numeric, f11 numeric, f12 numeric,
  f13 numeric, f14 numeric, f15 numeric, f16 numeric, f17 numeric, f18 numeric,
  f19 numeric, f20 numeric, f21 numeric, f22 numeric, f23 numeric, f24 numeric,
  f25 numeric, f26 numeric, f27 numeric, f28 numeric, f29 numeric, f30 numeric,
  f31 numeric
);
create index if not exists rpt_regcz_day_key on rpt_regcz_day (computer, name);
