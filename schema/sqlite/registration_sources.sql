-- Source data of the registration reports (SQLite): outpatient
-- registrations and the view the registrations by department and day read
-- (one record per registration; the report counts records, so a
-- cancelled registration is left out of the view). Harmless to run again.

-- Registrations: RegID is the registration, Name the patient, DepaID and
-- DoctorID the clinic and doctor registered with, iDate the time of
-- registration, Amt the fee; Cancelled is 1 for a registration withdrawn.
create table if not exists mz_reg (
  lineid integer primary key,
  RegID text not null,
  Name text,
  DepaID text,
  DoctorID text,
  iDate text,
  Amt real,
  Cancelled integer not null default 0
);
create index if not exists mz_reg_date on mz_reg (iDate);

-- JzrDay is the day of registration (yyyy-mm-dd).
create view if not exists rpt_mz_reg_v as
  select RegID, Name, DepaID, DoctorID, date(iDate) as JzrDay, iDate, Amt
  from mz_reg
  where Cancelled = 0;
