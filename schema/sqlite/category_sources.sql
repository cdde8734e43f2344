-- Source data of the category reports (SQLite): the category tables that
-- name the columns of a charge statement, and the outpatient charge lines
-- with the view the reports read. A host names the view as a report's
-- SourceViewName, one of its object columns (DepaID, DoctorID, JzrDay or
-- any other) as ObjField and one of its category columns as TypeField.
-- Harmless to run again.
--
-- Category ids are two-digit codes ("01" to "20"); a report table with one
-- amount column per category names the column "f" and the id (f01).

-- Statistical report items, first and second level.
create table if not exists qev_pub_type_bbxm1 (
  id text primary key,
  name text
);
create table if not exists qev_pub_type_bbxm2 (
  id text primary key,
  name text
);
-- Accounting items.
create table if not exists qev_pub_type_tjxm1 (
  id text primary key,
  name text
);
-- Invoice items. Mzsn is the item's place among the lines of the
-- cashier's daily sheet.
create table if not exists qev_pub_type_fpxm (
  id text primary key,
  name text,
  Mzsn integer
);

-- Outpatient charge lines. ID is the charge record (receipt) a line
-- belongs to, RegID and Name the registration and patient the record was
-- charged to; a refund is a line with a negative amount, usually on a
-- record of its own. iDate is the time of the charge.
create table if not exists mz_fee (
  lineid integer primary key,
  ID text not null,
  RegID text,
  Name text,
  iDate text,
  DepaID text,
  DoctorID text,
  bbxm1id text,
  bbxm2id text,
  tjxm1id text,
  fpxmid text,
  Amt real
);
create index if not exists mz_fee_date on mz_fee (iDate);

-- The charges as the category reports read them: JzrDay is the day of the
-- charge (yyyy-mm-dd), a date the reports group and count by.
create view if not exists rpt_mz_fee_v as
  select ID, RegID, Name, date(iDate) as JzrDay, iDate, DepaID, DoctorID,
         bbxm1id, bbxm2id, tjxm1id, fpxmid, Amt
  from mz_fee;
