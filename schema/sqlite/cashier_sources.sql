-- Source data of the cashier's daily settlement sheet and the medical-
-- insurance daily sheets (SQLite): the settlement records of the cashiers'
-- desks, and the views the sheets read. Harmless to run again.
--
-- The sheets read every table and view here with one and the same caller's
-- condition, so each carries the cashier who took the money (CzyID, a user
-- id) and the time (iDate, "yyyy-mm-dd hh:mm:ss"): a condition such as
--   CzyID='U01' and iDate>={d '2024-03-15'} and iDate<{d '2024-03-16'}
-- selects one cashier's day everywhere.
--
-- Columns shared by the settlement records: inout "1" for money taken in,
-- any other value for money paid back (whose amounts are negative); state
-- "1" for a valid record, "0" for a void one (counted on the sheet, but
-- none of its money); amt the amount, and jsfs1amt to jsfs4amt its split
-- by settlement method: 1 cash, 2 bank card, 3 the patient's account,
-- 4 other.
--
-- The cashier's sheet names its category lines after the invoice items of
-- category_sources (qev_pub_type_fpxm: id, name and the sort number Mzsn),
-- which it reads on the report database.

-- Top-ups of patients' accounts (and their refunds, inout not "1"). A
-- top-up paid from an account (jsfs3amt not 0) is a transfer between
-- accounts, which the sheet leaves out.
create table if not exists qev_Mem_InAmt (
  ID integer primary key,
  MemID text,
  CzyID text,
  iDate text,
  inout text,
  amt real,
  jsfs1amt real,
  jsfs2amt real,
  jsfs3amt real,
  jsfs4amt real
);
-- The top-ups as the sheet counts them and as its category line sums them.
create view if not exists qev_Mem_InAmt_V as
  select ID, MemID, CzyID, iDate, inout, amt, jsfs1amt, jsfs2amt, jsfs3amt, jsfs4amt
  from qev_Mem_InAmt;

-- Outpatient registrations (inout "1") and registration returns.
create table if not exists qev_Reg_info (
  ID integer primary key,
  RegID text,
  Name text,
  DepaID text,
  CzyID text,
  iDate text,
  inout text,
  state text,
  amt real,
  jsfs1amt real,
  jsfs2amt real,
  jsfs3amt real,
  jsfs4amt real
);
create index if not exists qev_Reg_info_czy on qev_Reg_info (CzyID, iDate);

-- Charge settlements (inout "1") and refunds: one record per receipt. fb is
-- the money source the record counts under on the sheet (自费, 医保, ...);
-- bxamt the part the insurer pays, so that amt = bxamt + jsfs1amt + ... +
-- jsfs4amt; bcamt a figure shown beside the settlement methods and kept
-- out of the sheet's totals (the rounding of the cash payment).
create table if not exists qev_Tol_infoh (
  ID integer primary key,
  RegID text,
  Name text,
  CzyID text,
  iDate text,
  inout text,
  state text,
  fb text,
  amt real,
  bxamt real,
  bcamt real,
  jsfs1amt real,
  jsfs2amt real,
  jsfs3amt real,
  jsfs4amt real
);
create index if not exists qev_Tol_infoh_czy on qev_Tol_infoh (CzyID, iDate);

-- The lines of a charge settlement, by invoice item (fpxmid, a category of
-- qev_pub_type_fpxm); their amounts add up to the record's amt.
create table if not exists qev_Tol_infod (
  ID integer primary key,
  InfohID integer not null,
  fpxmid text,
  Amt real
);
create index if not exists qev_Tol_infod_infoh on qev_Tol_infod (InfohID);

-- The charge lines as the sheet's category lines sum them, with the
-- columns of their settlement for the caller's condition. Only the lines
-- of valid settlements: the sheet reads no state here, and a void
-- record's lines are no money taken, so the category lines add up to the
-- charges' money sources.
create view if not exists rpt_Tol_V as
  select d.ID, d.InfohID, d.fpxmid, d.Amt, h.RegID, h.Name, h.CzyID, h.iDate, h.inout, h.fb
  from qev_Tol_infod d join qev_Tol_infoh h on h.ID = d.InfohID
  where h.state = '1';

-- Inpatient deposits. Type: "1" deposit received, "2" deposit reversed,
-- "3" additional payment at settlement, "4" its reversal, "5" refund at
-- settlement, "6" its reversal; reversals and refunds carry negative
-- amounts. bcamt as in qev_Tol_infoh.
create table if not exists qev_Zyyjk_Info (
  ID integer primary key,
  ZyID text,
  Name text,
  CzyID text,
  iDate text,
  Type text,
  amt real,
  bcamt real,
  jsfs1amt real,
  jsfs2amt real,
  jsfs3amt real,
  jsfs4amt real
);
create index if not exists qev_Zyyjk_Info_czy on qev_Zyyjk_Info (CzyID, iDate);

-- Medical-insurance settlements: the twelve amounts of the insurer's
-- settlement record, per settlement of one kind: "Tol" a charge
-- settlement, "Zyjz" and "Zyjs" the two kinds of inpatient settlement.
-- The daily sheets total bcbxf0 + locaxj.
create table if not exists qev_Yb_Infoh_L (
  ID integer primary key,
  Kind text not null,
  RegID text,
  Name text,
  CzyID text,
  iDate text,
  zhzfe0 real,
  jjzfe0 real,
  gwybz0 real,
  fybfy0 real,
  ylzfje real,
  cfdxje real,
  sybxzf real,
  bjjjzf real,
  grzfe0 real,
  bcbxf0 real,
  locaxj real,
  xjhj00 real
);
create index if not exists qev_Yb_Infoh_L_czy on qev_Yb_Infoh_L (Kind, CzyID, iDate);
create view if not exists qev_Tol_Infoh_L_Yb_V as
  select * from qev_Yb_Infoh_L where Kind = 'Tol';
create view if not exists qev_Zyjz_Infoh_L_Yb_V as
  select * from qev_Yb_Infoh_L where Kind = 'Zyjz';
create view if not exists qev_Zyjs_Infoh_L_Yb_V as
  select * from qev_Yb_Infoh_L where Kind = 'Zyjs';
