-- Report tables of the cashier's, the deposit and the medical-insurance
-- daily sheets (PostgreSQL). Each row belongs to one workstation (computer).
-- Harmless to run again.

-- The summary row of the cashier's sheet (and of the deposit sheet, which
-- fills only computer, submiter and jzrday): who submits the sheet for
-- which day, the number of transactions of each kind and of their voids
-- (zf), deposits per deposit type 1 to 6, and the memo spelling them out.
-- A counter that nothing touched stays Null.
create table if not exists rpt_Tol_rbb (
  computer text,
  submiter text,
  jzrday text,
  sfqty integer, sfzfqty integer, tfqty integer, tfzfqty integer,
  ghqty integer, ghzfqty integer, thqty integer, thzfqty integer,
  inamtqty integer, outamtqty integer,
  Yjkqty1 integer, Yjkqty2 integer, Yjkqty3 integer,
  Yjkqty4 integer, Yjkqty5 integer, Yjkqty6 integer,
  memostr text
);
create index if not exists rpt_Tol_rbb_computer on rpt_Tol_rbb (computer);

-- The cashier's amounts per money source (nameid "InAmt", "Reg", a charge
-- fb value, "Yjk", and the total row "Hj") by settlement method; hjamt
-- sums SkAmt to QtAmt, without BcAmt; Sn numbers the sources in order of
-- first sight.
create table if not exists rpt_Tol_Rbb_Infod (
  computer text,
  nameid text,
  SkAmt numeric,
  XjAmt numeric,
  YlAmt numeric,
  ZhAmt numeric,
  QtAmt numeric,
  BcAmt numeric,
  hjamt numeric,
  Sn integer
);
create index if not exists rpt_Tol_Rbb_Infod_key on rpt_Tol_Rbb_Infod (computer, nameid);

-- The lines of the daily sheets, per workstation and sheet (rpttab): one
-- per money source or charge category, name holding the key while a
-- calculation adds up the amounts and the display name afterwards, nameid
-- the key, Sn the sort number.
create table if not exists rpt_rbbd (
  computer text,
  rpttab text,
  name text,
  nameid text,
  amt numeric,
  Sn integer
);
create index if not exists rpt_rbbd_key on rpt_rbbd (computer, rpttab, name);

-- The medical-insurance daily sheet: one row per workstation with the
-- header string, the twelve insurance sums and hjamt = bcbxf0 + locaxj.
create table if not exists rpt_Yb_rbb (
  computer text,
  RptDesc text,
  zhzfe0 numeric,
  jjzfe0 numeric,
  gwybz0 numeric,
  fybfy0 numeric,
  ylzfje numeric,
  cfdxje numeric,
  sybxzf numeric,
  bjjjzf numeric,
  grzfe0 numeric,
  bcbxf0 numeric,
  locaxj numeric,
  xjhj00 numeric,
  hjamt numeric
);
create index if not exists rpt_Yb_rbb_computer on rpt_Yb_rbb (computer);
