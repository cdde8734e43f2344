-- Source data of the goods reports (SQLite), as a pharmacy or stock
-- database holds it: the goods catalogue, stock movements and dispensing,
-- and the views the goods reports read. A host names one of the views as a
-- report's SourceViewName. Harmless to run again.

-- Goods: the good-info lookup reads qev_pub_Good_V (id, Name, spec, UnitName).
create table if not exists qev_pub_good (
  id text primary key,
  Name text,
  spec text,
  UnitName text
);
create view if not exists qev_pub_Good_V as
  select id, Name, spec, UnitName from qev_pub_good;

-- Stock movements. Type is the movement code: "0" opening balance,
-- "1" receipt, "2" issue, "3" transfer, "4" stocktake, "5" outpatient
-- dispensing, "6" dispensing after payment, "7" inpatient dispensing,
-- "8" ward dispensing. Outgoing movements carry negative quantities.
-- CkTypeID is the issue type of an issue ("2"), a code of its own.
create table if not exists kc_move (
  id integer primary key,
  goodid text not null,
  Type text not null,
  CkTypeID text,
  YfCkID text,
  FromID text,
  iDate text,
  Qty real,
  UnitRate real,
  JhPrice real,
  UnitPrice real
);
create index if not exists kc_move_good on kc_move (goodid, Type);

-- Dispensing: MzZy "1" outpatient, "2" inpatient.
create table if not exists fy_detail (
  id integer primary key,
  goodid text not null,
  MzZy text not null,
  DepaID text,
  iDate text,
  Qty real,
  UnitRate real,
  Amt real
);
create index if not exists fy_detail_good on fy_detail (goodid, MzZy);

-- Inpatient charges of goods: prescriptions (ZyQd), ward accounts (ZyJz)
-- and settled accounts (ZyJs). Each line belongs to an inpatient
-- registration (zydjid) in a ward (DepaID) under a doctor (DoctorID) and
-- carries the charge categories of the category reports (bbxm1id, bbxm2id,
-- tjxm1id, fpxmid, two-digit ids as in category_sources). isdoamt says
-- whether the good of a prescription or ward account was already dispensed
-- (1) or not yet (0); settled accounts keep no such flag.
create table if not exists zy_good_fee (
  id integer primary key,
  Kind text not null,
  goodid text not null,
  iDate text,
  Qty real,
  UnitRate real,
  Amt real,
  zydjid text,
  DepaID text,
  DoctorID text,
  bbxm1id text,
  bbxm2id text,
  tjxm1id text,
  fpxmid text,
  isdoamt integer
);

-- Dispensing per good and kind (goods totals, dispensing totals).
create view if not exists rpt_fy_v as
  select goodid, MzZy, DepaID, iDate, Qty, UnitRate, Amt from fy_detail;
-- Stock issues with their issue type, the issued quantity counted positive.
create view if not exists rpt_kcck_v as
  select goodid, CkTypeID, YfCkID, iDate, -Qty as Qty, UnitRate, UnitPrice from kc_move
  where Type = '2';
-- Stock receipts with their purchase amount.
create view if not exists rpt_kcrk_v as
  select goodid, YfCkID, iDate, Qty, UnitRate, Qty * JhPrice as JhAmt from kc_move
  where Type = '1';
-- Every stock movement (movement summary).
create view if not exists rpt_kc_count_v as
  select goodid, Type, YfCkID, iDate, Qty, UnitRate, JhPrice, UnitPrice from kc_move;
-- Inpatient views: prescriptions count in base units, accounts as stored.
-- The inpatient category reports read the same views: CountDate is the day
-- a charge is counted on (yyyy-mm-dd), zydjid the registration they count,
-- and the dispensed flag isdoamt of prescriptions and ward accounts splits
-- their amounts.
create view if not exists rpt_zyqd_v as
  select goodid, iDate, Qty, UnitRate, Amt,
         zydjid, DepaID, DoctorID, date(iDate) as CountDate,
         bbxm1id, bbxm2id, tjxm1id, fpxmid, isdoamt
  from zy_good_fee where Kind = 'qd';
create view if not exists rpt_zyjz_v as
  select goodid, iDate, Qty * UnitRate as qty, Amt as amt,
         zydjid, DepaID, DoctorID, date(iDate) as CountDate,
         bbxm1id, bbxm2id, tjxm1id, fpxmid, isdoamt
  from zy_good_fee where Kind = 'jz';
create view if not exists rpt_zyjs_v as
  select goodid, iDate, Qty * UnitRate as qty, Amt as amt,
         zydjid, DepaID, DoctorID, date(iDate) as CountDate,
         bbxm1id, bbxm2id, tjxm1id, fpxmid
  from zy_good_fee where Kind = 'js';
