-- Source views of the stock ledger reports (PostgreSQL), over the stock
-- movements of goods_sources (apply that script first). A host names the
-- view as the ledger's SourceViewName. Harmless to run again.

-- Every stock row of the month stock ledger: "0" opening balances and the
-- movements "1" to "8", outgoing quantities negative. The ledger copies
-- ID to UnitID into its scratch table when it reads several databases,
-- orders movements by iDate and the numeric ID, and turns GoodID, Type,
-- YfCkID, iDate and FromID into text, where a NULL is refused: only
-- receipts name where they come from, so FromID is "" for the others.
-- kc_move keeps the rate to the base unit but no unit id of its own, so
-- UnitID is NULL here.
create or replace view rpt_kc_zz_v as
  select id as ID, goodid as GoodID, YfCkID, cast(null as text) as UnitID, UnitPrice, JhPrice,
         UnitRate, iDate, Type, coalesce(FromID, '') as FromID, Qty
  from kc_move;
