-- Source data of the inpatient day-by-day report (SQLite): the charge
-- lines of inpatient stays and the view the report reads. A host names the
-- view as the report's SourceViewName and one of its object columns
-- (DepaID, DoctorID, fpxmid or any other) as ObjField. The outpatient
-- day-by-day report reads the outpatient charges of category_sources
-- (rpt_mz_fee_v). Harmless to run again.

-- Inpatient charge lines: zydjid is the inpatient registration (the stay)
-- the line is charged to, iDate the time it was posted; a refund is a line
-- with a negative amount.
create table if not exists zy_charge (
  lineid integer primary key,
  zydjid text not null,
  Name text,
  iDate text,
  DepaID text,
  DoctorID text,
  fpxmid text,
  Amt real
);
create index if not exists zy_charge_date on zy_charge (iDate);

-- The charges as the report reads them: CountDate is the accounting day of
-- the line (yyyy-mm-dd), whose day of the month picks the report's day column.
create view if not exists rpt_zy_charge_v as
  select zydjid, Name, date(iDate) as CountDate, iDate, DepaID, DoctorID, fpxmid, Amt
  from zy_charge;
