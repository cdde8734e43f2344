-- Report table of the purchase price listing (SQLite). One row per
-- supplier or factory and workstation (computer): Name holds the supplier's
-- or factory's id while the listing is calculated ('' for receipts that
-- name none) and its name afterwards, nameid the id. The other columns
-- describe the kept receipt: its date (as text, yyyy-mm-dd with the time
-- of day when it has one), quantity, unit and base units per unit, price
-- per unit and amount. Harmless to run again.
create table if not exists rpt_kcrk_price (
  computer text, Name text, nameid text, iDate text,
  qty real, UnitRate real, UnitName text, JhPrice real, Jhamt real
);
create index if not exists rpt_kcrk_price_key on rpt_kcrk_price (computer, Name);
