-- Source data of the purchase price listing (SQLite): the purchase
-- receipt lines as the purchasing office books them, and the view the
-- listing reads. Harmless to run again.

-- One line per good on a delivery note (RkID): the supplier that delivered
-- it, the factory that made it (a line may name neither), the unit it was
-- bought in (UnitName, with UnitRate base units per unit), the quantity in
-- that unit and the purchase price per that unit.
create table if not exists kc_rk_line (
  id integer primary key,
  RkID text,
  goodid text not null,
  YfCkID text,
  SupplierID text,
  FactoryID text,
  iDate text,
  Qty real,
  UnitRate real,
  UnitName text,
  JhPrice real
);
create index if not exists kc_rk_line_good on kc_rk_line (goodid, iDate);

-- The receipts as the listing reads them, with the purchase amount of each
-- line; a host selects goods, stores or dates through CondStr.
create view if not exists rpt_kcrk_price_v as
  select id, RkID, goodid, YfCkID, SupplierID, FactoryID, iDate as idate, Qty, UnitRate,
         UnitName, JhPrice as jhprice, Qty * JhPrice as jhAmt
  from kc_rk_line;
