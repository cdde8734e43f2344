-- Report tables of the stock ledger (PostgreSQL). Each row belongs to one
-- workstation (computer). Harmless to run again.
-- Quantities and amounts are numeric, which the server stores and adds up
-- exactly, so that the figures are those of the same data on SQLite.

-- Month stock ledger, one row per good: name holds the good id while the
-- ledger is calculated and the good's name afterwards, nameid the good id.
-- A quantity column that a good's rows never touched stays NULL.
create table if not exists rpt_kc_zz (
  computer text, name text, nameid text,
  QcQty numeric, RkQty numeric, CkQty numeric,
  EndQty numeric,
  spec text, UnitName text
);
create index if not exists rpt_kc_zz_key on rpt_kc_zz (computer, name);

-- Ledger detail: per good an opening row (Type "0", Sn 0), its movements
-- (Sn in movement order over all goods) and a month-total row (Type "100").
-- id comes from the host sequence TempID; sorted by goodid and Sn the rows
-- give each good's ledger in order.
create table if not exists rpt_kc_zz_detail (
  id bigint, computer text, goodid text, YfCkID text, Type text, FromID text, iDate text,
  RkQty numeric, CkQty numeric, EndQty numeric, Sn integer,
  YfCkName text, UnitName text, TypeName text
);
create index if not exists rpt_kc_zz_detail_key on rpt_kc_zz_detail (computer, goodid, Type);
create index if not exists rpt_kc_zz_detail_id on rpt_kc_zz_detail (id);
