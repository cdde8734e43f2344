// The reports of the differential test and their data generators.
//
// Every family generator writes one to three source databases with the
// data that made the engines disagree: decimal amounts and quantities
// (cents, mills, 15 significant digits), refunds that cancel a charge or a
// whole visit to exactly zero, NULLs where a report takes them, ids in
// ASCII and in Chinese, times at the edges of a month and at midnight
// (each SQLite source writes midnight either as the date alone or with
// 00:00:00, as applications do). Numbers are written with at most 15
// significant digits, the digits a double holds, and products of the
// engine (Qty*UnitRate) stay within them.
//
// To add a report: one entry in Reports() with its class name and a
// generator (usually a family generator plus the report's properties).
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tests/difftest/diff_case.h"

namespace qev::testing::diff {

namespace {

constexpr char kSep[] = "\x1F";  // the value-list separator of RptDesc

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A decimal number written exactly: units of 10^-4.
std::string Fixed4(int64_t units) {
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? static_cast<uint64_t>(-units) : static_cast<uint64_t>(units);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  std::string text(buf);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// An amount: its SQL literal and, when it is a decimal of at most four
// places, its exact value in units of 10^-4 (so that refunds can cancel
// sums exactly).
struct Amount {
  std::string sql;
  bool fixed = true;
  int64_t units = 0;
};

Amount FixedAmount(int64_t units) { return Amount{Fixed4(units), true, units}; }

Amount RandomAmount(Gen& g) {
  const int kind = g.Int(0, 99);
  if (kind < 40) return FixedAmount(int64_t{100} * g.Int(-2000, 90000));     // cents
  if (kind < 55) return FixedAmount(int64_t{1000} * g.Int(1, 9));            // 0.1 .. 0.9
  if (kind < 70) return FixedAmount(static_cast<int64_t>(g.Int(1, 99999)) * g.Pick<int64_t>({1, 5, 10}));
  if (kind < 80) {
    // 1.005 and 0.7 and their like: decimals that binary rounds down.
    static const std::vector<int64_t> kTricky = {10050, 7000, 1000, 2000, 3000, 11150, 6000, 1450};
    return FixedAmount(g.Pick(kTricky));
  }
  if (kind < 90) {
    // Large quantities and stock values, to a cent.
    return FixedAmount(int64_t{100} * (int64_t{g.Int(0, 999999)} * 100 + g.Int(0, 99)) *
                       (g.Chance(0.3) ? -1 : 1));
  }
  // 15 significant digits, summed as they stand.
  char buf[40];
  const double v = std::uniform_real_distribution<double>(-1000, 100000)(g.rng());
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return Amount{buf, false, 0};
}

// A quantity and a unit rate whose product stays a short decimal.
std::string RandomQty(Gen& g) {
  const int kind = g.Int(0, 9);
  if (kind < 5) return std::to_string(g.Int(-5, 60));
  if (kind < 8) return Fixed4(int64_t{10} * g.Int(-500, 9000));  // three places
  return Fixed4(int64_t{100} * g.Int(0, 99999999));              // large, to a hundredth
}

// A price: cents up to 999.99 or a decimal that binary rounds down, so
// that a quantity times a price has at most 15 significant digits.
std::string RandomPrice(Gen& g) {
  if (g.Chance(0.2)) return g.Pick<std::string>({"1.005", "0.7", "0.1", "2.675", "0.333"});
  return Fixed4(int64_t{100} * g.Int(1, 99999));
}
std::string RandomRate(Gen& g) {
  return g.Pick<std::string>({"1", "1", "10", "12", "24", "0.5", "0.25", "0.1", "0.333"});
}

// A time of the month under test (March 2024) or just outside it; a
// source writes midnight as the date alone or with 00:00:00.
std::string RandomTime(Gen& g, bool midnight_with_time) {
  static const std::vector<std::string> kTimes = {
      "2024-02-29 23:59:59", "2024-03-01 00:00:00", "2024-03-01 00:00:01", "2024-03-01 08:30:00",
      "2024-03-15 00:00:00", "2024-03-15 12:00:00", "2024-03-30 17:45:10", "2024-03-31 00:00:00",
      "2024-03-31 23:59:59", "2024-04-01 00:00:00", "2024-04-01 09:00:00"};
  std::string t = g.Pick(kTimes);
  if (!midnight_with_time && t.ends_with(" 00:00:00")) t.resize(10);
  return Quote(t);
}

const char kMonth[] = "iDate>={d '2024-03-01'} and iDate<{d '2024-04-01'}";

// Joins rows into one insert statement.
std::string InsertRows(const std::string& head, const std::vector<std::string>& rows) {
  std::string sql = head + " values ";
  for (size_t i = 0; i < rows.size(); ++i) sql += (i ? ",(" : "(") + rows[i] + ")";
  return sql;
}

// One to three sources, SourceNum as a caller passes it.
void ChooseSources(Gen& g, Case* c) {
  const int n = g.Int(1, 3);
  c->sources.assign(static_cast<size_t>(n), {});
  c->source_num = static_cast<int16_t>(n);
  c->passed = n;
}

// ------------------------------------------------------------------ goods

const std::vector<std::string> kGoods = {"1001", "1002", "1003", "阿莫西林", "布洛芬01", "X-9", "1099"};

void GoodsFamily(Gen& g, Case* c) {
  ChooseSources(g, c);
  c->report_scripts = {"goods_reports", "goods_sources"};
  c->report_rows = {
      "insert into qev_pub_good (id,Name,spec,UnitName) values "
      "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','Ibuprofen','0.3g*20','box'),"
      "('1003','生理盐水','500ml','瓶'),('阿莫西林','阿莫西林颗粒','0.125g','袋'),"
      "('布洛芬01','布洛芬混悬液','100ml','瓶')"};  // X-9 and 1099 are unknown
  c->source_ddl = {
      "create table fy_detail (id {id}, goodid text not null, MzZy text not null, DepaID text, "
      "iDate {ts}, Qty {num}, UnitRate {num}, Amt {num})",
      "create table kc_move (id {id}, goodid text not null, Type text not null, CkTypeID text, "
      "YfCkID text, FromID text, iDate {ts}, Qty {num}, UnitRate {num}, JhPrice {num}, "
      "UnitPrice {num})",
      "create table zy_good_fee (id {id}, Kind text not null, goodid text not null, iDate {ts}, "
      "Qty {num}, UnitRate {num}, Amt {num})",
      "create view rpt_fy_v as select goodid, MzZy, DepaID, iDate, Qty, UnitRate, Amt from fy_detail",
      "create view rpt_kcck_v as select goodid, CkTypeID, YfCkID, iDate, -Qty as Qty, UnitRate, "
      "UnitPrice from kc_move where Type = '2'",
      "create view rpt_kcrk_v as select goodid, YfCkID, iDate, Qty, UnitRate, Qty * JhPrice as JhAmt "
      "from kc_move where Type = '1'",
      "create view rpt_kc_count_v as select goodid, Type, YfCkID, iDate, Qty, UnitRate, JhPrice, "
      "UnitPrice from kc_move",
      "create view rpt_zyqd_v as select goodid, iDate, Qty, UnitRate, Amt from zy_good_fee where Kind = 'qd'",
      "create view rpt_zyjz_v as select goodid, iDate, Qty * UnitRate as qty, Amt as amt from "
      "zy_good_fee where Kind = 'jz'",
      "create view rpt_zyjs_v as select goodid, iDate, Qty * UnitRate as qty, Amt as amt from "
      "zy_good_fee where Kind = 'js'",
      // Receipts as the purchase price listing reads them: the supplier
      // where a receipt names one, the good standing in for the factory.
      "create view rpt_kcrk_price_v as select iDate as idate, FromID as SupplierID, goodid as FactoryID, "
      "Qty, UnitRate, YfCkID as UnitName, JhPrice as jhprice, Qty * JhPrice as jhAmt from kc_move"};
  int id = 0;
  for (size_t k = 0; k < c->sources.size(); ++k) {
    const bool with_time = g.Chance(0.5);
    std::vector<std::string> fy, kc, zy;
    const int lines = g.Int(5, 40);
    for (int i = 0; i < lines; ++i) {
      const std::string good = Quote(g.Pick(kGoods));
      const std::string qty = RandomQty(g), rate = RandomRate(g);
      const Amount amt = RandomAmount(g);
      // The first line of a source has an amount, so that every good's sum
      // has one; later lines may be NULL.
      const std::string time = RandomTime(g, with_time);
      const std::string mzzy = Quote(g.Pick<std::string>({"1", "2", "1", "2", "3"}));
      fy.push_back(std::to_string(++id) + "," + good + "," + mzzy + ",'01'," + time + "," + qty + "," +
                   rate + "," + amt.sql);
      if (g.Chance(0.05)) {
        // A line without an amount, in a group that has one.
        fy.push_back(std::to_string(++id) + "," + good + "," + mzzy + ",'01'," + time + "," +
                     RandomQty(g) + "," + rate + ",NULL");
      }
      if (g.Chance(0.3)) {
        // A refund of that line: the same figures negated.
        const std::string neg_qty = qty[0] == '-' ? qty.substr(1) : "-" + qty;
        const std::string neg_amt = amt.sql[0] == '-' ? amt.sql.substr(1) : "-" + amt.sql;
        fy.push_back(std::to_string(++id) + "," + good + "," + Quote(g.Pick<std::string>({"1", "2"})) +
                     ",'01'," + RandomTime(g, with_time) + "," + neg_qty + "," + rate + "," + neg_amt);
      }
      const std::string type = std::to_string(g.Int(0, 8));
      const bool out = type != "0" && type != "1";
      const std::string kc_qty = out && qty[0] != '-' ? "-" + qty : qty;
      kc.push_back(std::to_string(++id) + "," + good + "," + Quote(type) + "," +
                   Quote(std::to_string(g.Int(1, 9))) + "," + Quote(g.Pick<std::string>({"11", "12", "药库"})) +
                   "," + (type == "1" ? Quote(g.Pick<std::string>({"S01", "供应商甲"})) : "NULL") + "," +
                   time + "," + kc_qty + "," + rate + "," + RandomPrice(g) + "," + RandomPrice(g));
      zy.push_back(std::to_string(++id) + "," + Quote(g.Pick<std::string>({"qd", "jz", "js"})) + "," + good +
                   "," + time + "," + qty + "," + rate + "," + amt.sql);
    }
    c->sources[k] = {InsertRows("insert into fy_detail (id,goodid,MzZy,DepaID,iDate,Qty,UnitRate,Amt)", fy),
                     InsertRows("insert into kc_move (id,goodid,Type,CkTypeID,YfCkID,FromID,iDate,Qty,"
                                "UnitRate,JhPrice,UnitPrice)",
                                kc),
                     InsertRows("insert into zy_good_fee (id,Kind,goodid,iDate,Qty,UnitRate,Amt)", zy)};
  }
}

Case GoodsReport(Gen& g, const char* cls, const std::string& view, const char* table) {
  Case c;
  GoodsFamily(g, &c);
  c.report = cls;
  c.props = {{"SourceViewName", Variant(view)},
             {"RptTab", Variant(table)},
             {"RptDesc", Variant(std::string("统计期间") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")}};
  c.tables = {table, "rpt_header"};
  return c;
}

// --------------------------------------------------------------- category

void CategoryFamily(Gen& g, Case* c) {
  ChooseSources(g, c);
  c->report_scripts = {"category_reports", "category_sources", "hospital_lookups"};
  c->report_rows = {
      "insert into qev_pub_depa (id,name) values ('01','内科'),('02','外科'),('D3','Pediatrics')",
      "insert into qev_pub_user (id,name,DepaID) values ('U1','王医生','01'),('U2','Dr. Li','02')",
      "insert into qev_pub_type_bbxm1 (id,name) values ('01','西药费'),('02','中药费'),('05','检查费'),"
      "('20','其他')",
      "insert into qev_pub_type_fpxm (id,name) values ('01','药费'),('03','Lab'),('07','治疗费')"};
  c->source_ddl = {
      "create table mz_fee (lineid {id}, ID text not null, RegID text, Name text, iDate {ts}, "
      "DepaID text, DoctorID text, bbxm1id text, bbxm2id text, tjxm1id text, fpxmid text, Amt {num}, "
      "isdoamt integer)",
      "create view rpt_mz_fee_v as select ID, RegID, Name, {day} as JzrDay, iDate, DepaID, DoctorID, "
      "bbxm1id, bbxm2id, tjxm1id, fpxmid, Amt from mz_fee",
      // The same charges as inpatient ones: the visit is the stay (zydjid,
      // never NULL in an inpatient source), isdoamt the dispensed flag.
      "create view rpt_zyqd_v as select coalesce(RegID, 'ZY') as zydjid, {day} as CountDate, iDate, "
      "DepaID, DoctorID, bbxm1id, fpxmid, Amt, isdoamt from mz_fee",
      "create view rpt_zyjs_v as select * from rpt_zyqd_v"};
  struct Visit {
    std::string regid, name, depa, doctor;
  };
  std::vector<Visit> visits;
  const int n = g.Int(3, 12);
  for (int v = 0; v < n; ++v)
    visits.push_back({g.Chance(0.1) ? "NULL" : Quote("R" + std::to_string(v)),
                      g.Chance(0.05) ? "NULL" : Quote(g.Pick<std::string>({"张三", "李四", "Wang Wu"})),
                      Quote(g.Pick<std::string>({"01", "02", "D3", "99"})),
                      Quote(g.Pick<std::string>({"U1", "U2", "U9"}))});
  std::vector<std::vector<std::string>> rows(c->sources.size());
  std::vector<bool> with_time(c->sources.size());
  for (size_t k = 0; k < with_time.size(); ++k) with_time[k] = g.Chance(0.5);
  int line = 0, record = 0;
  auto add = [&](size_t k, const Visit& v, const std::string& rec, const std::string& time,
                 const std::string& type, const std::string& amt) {
    const int id = ++line;
    rows[k].push_back(std::to_string(id) + "," + Quote(rec) + "," + v.regid + "," + v.name + "," +
                      time + "," + v.depa + "," + v.doctor + "," + Quote(type) + ",'01','01'," +
                      Quote(type == "05" ? "03" : type == "20" ? "07" : "01") + "," + amt + "," +
                      std::to_string(id % 3));
  };
  for (const Visit& v : visits) {
    const int charges = g.Int(1, 4);
    const std::string day_time = RandomTime(g, true);
    int64_t fixed_total = 0;
    std::vector<std::string> loose;  // amounts to cancel one by one
    const std::string rec = "C" + std::to_string(++record);
    for (int i = 0; i < charges; ++i) {
      const size_t k = static_cast<size_t>(g.Int(0, static_cast<int>(rows.size()) - 1));
      const Amount a = RandomAmount(g);
      std::string time = day_time;
      if (!with_time[k] && time.ends_with(" 00:00:00'")) time = time.substr(0, 11) + "'";
      const std::string type = g.Pick<std::string>({"01", "02", "05", "20"});
      add(k, v, rec, time, type, a.sql);
      if (g.Chance(0.05)) add(k, v, rec, time, type, "NULL");  // beside an amount of its group
      if (a.fixed)
        fixed_total += a.units;
      else
        loose.push_back(a.sql);
    }
    const int refund = g.Int(0, 9);
    if (refund < 4) {
      // The whole visit refunded on a record of its own, maybe in another
      // source: its amounts sum to exactly zero.
      const size_t k = static_cast<size_t>(g.Int(0, static_cast<int>(rows.size()) - 1));
      const std::string back = "C" + std::to_string(++record);
      std::string time = day_time;
      if (!with_time[k] && time.ends_with(" 00:00:00'")) time = time.substr(0, 11) + "'";
      if (fixed_total != 0) add(k, v, back, time, "01", Fixed4(-fixed_total));
      for (const std::string& a : loose) add(k, v, back, time, "02", a[0] == '-' ? a.substr(1) : "-" + a);
    }
  }
  for (size_t k = 0; k < rows.size(); ++k)
    if (!rows[k].empty())
      c->sources[k] = {InsertRows("insert into mz_fee (lineid,ID,RegID,Name,iDate,DepaID,DoctorID,"
                                  "bbxm1id,bbxm2id,tjxm1id,fpxmid,Amt,isdoamt)",
                                  rows[k])};
}

Case CategoryReportCase(Gen& g, const char* cls, const char* table) {
  Case c;
  CategoryFamily(g, &c);
  c.report = cls;
  c.props = {{"QtyIndex", Variant(static_cast<int16_t>(g.Int(1, 3)))},
             {"SourceViewName", Variant("rpt_mz_fee_v")},
             {"TypeField", Variant(g.Pick<std::string>({"bbxm1id", "fpxmid"}))},
             {"RptTab", Variant(table)},
             {"RptDesc", Variant(std::string("Period") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")}};
  c.tables = {table, "rpt_header", "tem_rpt_qty"};
  return c;
}

// --------------------------------------------------------------- inpatient

// The category family's charges read as inpatient ones: rpt_zyqd_v (in
// either letter case) splits amounts by the dispensed flag, rpt_zyjs_v
// does not.
Case InpatientCase(Gen& g, const char* cls, const char* table, const char* script) {
  Case c;
  CategoryFamily(g, &c);
  c.report = cls;
  c.report_scripts.push_back(script);
  c.props = {{"SourceViewName", Variant(g.Pick<std::string>({"rpt_zyqd_v", "Rpt_ZyQd_V", "rpt_zyjs_v"}))},
             {"TypeField", Variant(g.Pick<std::string>({"bbxm1id", "fpxmid"}))},
             {"RptTab", Variant(table)},
             {"RptDesc", Variant(std::string("Period") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")}};
  c.tables = {table, "rpt_header"};
  return c;
}

// ------------------------------------------------------------ day by day

Case DayReport(Gen& g) {
  Case c;
  CategoryFamily(g, &c);
  c.report = "Rpt_Tol_Day";
  c.report_scripts.push_back("daily_reports");
  c.props = {{"QtyIndex", Variant(static_cast<int16_t>(g.Pick<int>({1, 3})))},
             {"SourceViewName", Variant("rpt_mz_fee_v")},
             {"ObjField", Variant(g.Pick<std::string>({"DepaID", "DoctorID"}))},
             {"RptTab", Variant("rpt_tol_day")},
             {"RptDesc", Variant(std::string("Period") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")},
             {"AmtQty", Variant(static_cast<int16_t>(g.Int(0, 1)))}};
  c.tables = {"rpt_tol_day", "rpt_header", "tem_rpt_qty"};
  c.calls_after = {"CalcuDayQty"};
  return c;
}

Case RegistrationDay(Gen& g) {
  Case c;
  ChooseSources(g, &c);
  c.report = "Rpt_RegCz_Day";
  c.report_scripts = {"registration_reports", "hospital_lookups"};
  c.report_rows = {"insert into qev_pub_depa (id,name) values ('01','内科'),('02','Surgery')"};
  c.source_ddl = {
      "create table mz_reg (RegID text, Name text, DepaID text, DoctorID text, iDate {ts}, "
      "Amt {num}, Cancelled integer)",
      "create view rpt_mz_reg_v as select RegID, Name, DepaID, DoctorID, {day} as JzrDay, iDate, "
      "Amt from mz_reg where Cancelled = 0"};
  int reg = 0;
  for (size_t k = 0; k < c.sources.size(); ++k) {
    const bool with_time = g.Chance(0.5);
    std::vector<std::string> rows;
    const int n = g.Int(1, 25);
    for (int i = 0; i < n; ++i)
      rows.push_back(Quote("G" + std::to_string(++reg)) + "," +
                     Quote(g.Pick<std::string>({"张三", "Li"})) + "," +
                     Quote(g.Pick<std::string>({"01", "02", "99"})) + ",'U1'," +
                     RandomTime(g, with_time) + "," + RandomAmount(g).sql + "," +
                     (g.Chance(0.1) ? "1" : "0"));
    c.sources[k] = {InsertRows("insert into mz_reg (RegID,Name,DepaID,DoctorID,iDate,Amt,Cancelled)", rows)};
  }
  c.props = {{"SourceViewName", Variant("rpt_mz_reg_v")},
             {"RptTab", Variant("rpt_regcz_day")},
             {"RptDesc", Variant(std::string("Period") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")}};
  c.tables = {"rpt_regcz_day", "rpt_header"};
  return c;
}

// ------------------------------------------------------------------ stock

Case StockLedger(Gen& g) {
  Case c;
  ChooseSources(g, &c);
  c.report = "Rpt_Kc_Zz";
  c.report_scripts = {"stock_reports", "goods_sources", "hospital_lookups"};
  c.report_rows = {
      "insert into qev_pub_good (id,Name,spec,UnitName) values ('1001','阿莫西林胶囊','0.25g','盒'),"
      "('1002','Ibuprofen','0.3g','box'),('阿莫西林','阿莫西林颗粒','0.125g','袋')",
      "insert into qev_pub_depa (id,name) values ('11','门诊药房'),('12','Ward pharmacy')"};
  c.source_ddl = {
      "create table kc_move (id {id}, goodid text not null, Type text not null, YfCkID text, "
      "FromID text, iDate {ts}, Qty {num}, UnitRate {num}, JhPrice {num}, UnitPrice {num})",
      "create view rpt_kc_zz_v as select id as ID, goodid as GoodID, YfCkID, cast(null as text) as "
      "UnitID, UnitPrice, JhPrice, UnitRate, iDate, Type, coalesce(FromID, '') as FromID, Qty from kc_move"};
  for (size_t k = 0; k < c.sources.size(); ++k) {
    // Ids differ between the sources: the ledger orders movements of equal
    // times by id, and equal ids of two sources have no order.
    int id = static_cast<int>(k + 1) * 100000;
    const bool with_time = g.Chance(0.5);
    std::vector<std::string> rows;
    const int lines = g.Int(4, 30);
    for (int i = 0; i < lines; ++i) {
      const std::string good = Quote(g.Pick<std::string>({"1001", "1002", "阿莫西林", "X-9"}));
      const std::string type = i < 2 ? "0" : std::to_string(g.Int(0, 8));
      std::string qty = RandomQty(g);
      if (type != "0" && type != "1" && qty[0] != '-') qty = "-" + qty;
      rows.push_back(std::to_string(++id) + "," + good + "," + Quote(type) + "," +
                     Quote(g.Pick<std::string>({"11", "12", "13"})) + "," +
                     (type == "1" ? Quote(g.Pick<std::string>({"S01", "供应商甲"})) : "NULL") + "," +
                     (type == "0" ? Quote("2024-03-01") : RandomTime(g, with_time)) + "," + qty + "," +
                     RandomRate(g) + "," + RandomPrice(g) + "," + RandomAmount(g).sql);
    }
    c.sources[k] = {InsertRows("insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,"
                               "JhPrice,UnitPrice)",
                               rows)};
  }
  c.props = {{"SourceViewName", Variant("rpt_kc_zz_v")},
             {"RptTab", Variant("rpt_kc_zz")},
             {"RptDetailTab", Variant("rpt_kc_zz_detail")},
             {"RptDesc", Variant(std::string("月份") + kSep + "2024-03")},
             {"CondStr", Variant(g.Chance(0.5) ? kMonth : "")}};
  c.tables = {"rpt_kc_zz", "rpt_kc_zz_detail", "rpt_header", "tem_rpt_kcdetail"};
  return c;
}

// ---------------------------------------------------------------- cashier

// The figures of a row negated, as a refund or reversal books them; texts
// (quoted), NULL and 0 stay.
std::string Negated(const std::string& values) {
  std::string out;
  for (size_t from = 0; from <= values.size();) {
    const size_t to = std::min(values.find(',', from), values.size());
    const std::string v = values.substr(from, to - from);
    const bool kept = v[0] == '\'' || v == "NULL" || v == "0";
    out += (from ? "," : "") + (kept ? v : v[0] == '-' ? v.substr(1) : "-" + v);
    from = to + 1;
  }
  return out;
}

// Money as a cashier's desk takes it in: the decimals of RandomAmount (at
// most four places, up to a million), never negative (refunds and
// reversals book it negated), and not its 15-digit reals. The sheet adds
// its columns in the engine (hjamt=skamt+xjamt+...): reals of different
// magnitudes sum to a 16th digit there, a figure that a server's numeric
// holds and no double does.
Amount Money(Gen& g) {
  for (;;)
    if (Amount a = RandomAmount(g); a.fixed) return FixedAmount(a.units < 0 ? -a.units : a.units);
}

// amt and its split over the settlement methods jsfs1amt to jsfs4amt
// (cash, card, account, other): all by one method, or by cash and card.
std::string Payment(Gen& g) {
  const Amount a = Money(g), b = Money(g);
  if (g.Chance(0.3)) return Fixed4(a.units + b.units) + "," + a.sql + "," + b.sql + ",0,0";
  std::string out = a.sql;
  const int method = g.Int(1, 4);
  for (int m = 1; m <= 4; ++m) out += "," + (m == method ? a.sql : std::string("0"));
  return out;
}

// The cashiers' desks in one to three sources: top-ups, registrations,
// charges with their lines, deposits and insurance settlements of two
// cashiers around one day, some void, some refunded to exactly zero.
void CashierFamily(Gen& g, Case* c) {
  ChooseSources(g, c);
  c->report_scripts = {"cashier_reports", "category_sources"};
  c->report_rows = {"insert into qev_pub_type_fpxm (id,name,Mzsn) values ('01','西药费',3),('02','Lab',1),"
                    "('03','治疗费',2)"};  // 04 is unknown
  c->source_scripts = {"cashier_sources"};
  int id = 0;
  for (auto& source : c->sources) {
    std::vector<std::string> in, reg, tol, lines, yjk, yb;
    for (int i = g.Int(1, 15); i > 0; --i) {
      std::string who = Quote(g.Pick<std::string>({"U1", "U1", "U2"})) + ",";
      who += Quote(g.Pick<std::string>({"2024-03-15", "2024-03-15 00:00:00", "2024-03-15 10:00:00",
                                        "2024-03-15 23:59:59", "2024-03-16 00:00:00"})) + ",";
      const std::string state = g.Chance(0.15) ? "'0'," : "'1',";
      const int refunds = g.Chance(0.3) ? 1 : 0;
      const std::string pay = Payment(g);
      switch (g.Int(0, 4)) {
        case 0:
          in.push_back(who + "'1'," + pay);
          if (refunds) in.push_back(who + "'-1'," + Negated(pay));
          break;
        case 1:
          reg.push_back(who + "'1'," + state + pay);
          if (refunds) reg.push_back(who + g.Pick<std::string>({"'0',", "'-1',"}) + state + Negated(pay));
          break;
        case 2: {
          // fb, bxamt (the insurer's part), bcamt (cash rounding), then the payment.
          std::string figures = Quote(g.Pick<std::string>({"自费", "医保", "公费", "Self"})) + ",";
          figures += Money(g).sql + ",";
          figures += g.Pick<std::string>({"0", "0.5", "-0.03"}) + "," + pay;
          std::vector<std::string> items;
          for (int l = g.Int(1, 3); l > 0; --l) {
            items.push_back(Quote(g.Pick<std::string>({"01", "02", "03", "04"})) + ",");
            items.back() += RandomAmount(g).sql;
          }
          for (int r = 0; r <= refunds; ++r) {
            tol.push_back(who + (r ? "'-1'," : "'1',") + state + std::to_string(++id) + "," +
                          (r ? Negated(figures) : figures));
            for (const std::string& item : items)
              lines.push_back(std::to_string(id) + "," + (r ? Negated(item) : item));
          }
          break;
        }
        case 3: {
          // Deposit (1), additional payment (3) or refund at settlement (5,
          // money paid back), each reversed by type + 1.
          const int type = g.Pick<int>({1, 3, 5});
          std::string figures = g.Pick<std::string>({"0", "0.5"}) + "," + pay;
          if (type == 5) figures = Negated(figures);
          yjk.push_back(who + Quote(std::to_string(type)) + "," + figures);
          if (refunds) yjk.push_back(who + Quote(std::to_string(type + 1)) + "," + Negated(figures));
          break;
        }
        default: {
          std::string figures = Quote(g.Pick<std::string>({"Tol", "Zyjz", "Zyjs"}));
          for (int k = 0; k < 12; ++k) figures += "," + (g.Chance(0.01) ? "NULL" : RandomAmount(g).sql);
          yb.push_back(who + figures);
          if (refunds) yb.push_back(who + Negated(figures));
        }
      }
    }
    const std::string pays = "amt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt)";
    const std::pair<const char*, const std::vector<std::string>*> tables[] = {
        {"insert into qev_Mem_InAmt (CzyID,iDate,inout,", &in},
        {"insert into qev_Reg_info (CzyID,iDate,inout,state,", &reg},
        {"insert into qev_Tol_infoh (CzyID,iDate,inout,state,ID,fb,bxamt,bcamt,", &tol},
        {"insert into qev_Zyyjk_Info (CzyID,iDate,Type,bcamt,", &yjk}};
    for (const auto& [head, rows] : tables)
      if (!rows->empty()) source.push_back(InsertRows(head + pays, *rows));
    if (!lines.empty()) source.push_back(InsertRows("insert into qev_Tol_infod (InfohID,fpxmid,Amt)", lines));
    if (!yb.empty())
      source.push_back(InsertRows("insert into qev_Yb_Infoh_L (CzyID,iDate,Kind,zhzfe0,jjzfe0,gwybz0,fybfy0,"
                                  "ylzfje,cfdxje,sybxzf,bjjjzf,grzfe0,bcbxf0,locaxj,xjhj00)", yb));
  }
}

// A daily sheet over the cashier family: one cashier's day, all of a
// cashier's rows, or every row.
Case DailySheet(Gen& g, const char* cls) {
  Case c;
  CashierFamily(g, &c);
  c.report = cls;
  c.props = {{"CondStr", Variant(g.Pick<std::string>({"", "CzyID='U1'",
                                                      "CzyID='U1' and iDate>={d '2024-03-15'} and "
                                                      "iDate<{d '2024-03-16'}"}))}};
  if (std::string_view(cls).starts_with("Rpt_Yb")) {
    c.props.push_back({"RptDesc", Variant(std::string("日期") + kSep + "2024-03-15")});
    c.tables = {"rpt_Yb_rbb"};
  } else {
    c.props.push_back({"JzrDay", Variant("2024-03-15")});
    c.props.push_back({"Submiter", Variant(g.Pick<std::string>({"王芳", "Li"}))});
    c.tables = {"rpt_Tol_rbb", "rpt_Tol_Rbb_Infod", "rpt_rbbd"};
  }
  return c;
}

// A report that only renews its header: RptDesc of Chinese and ASCII
// items, empty ones among them, none, or an odd number (an error).
Case HeaderOnly(Gen& g, const char* cls, const char* table) {
  Case c;
  c.report = cls;
  c.passed = -1;
  std::string desc;
  for (int i = g.Int(0, 5); i > 0; --i)
    desc += g.Pick<std::string>({"统计期间", "2024-03", "Dept. O'Neil", ""}) + (i > 1 ? kSep : "");
  c.props = {{"RptTab", Variant(table)}, {"RptDesc", Variant(desc)}};
  c.tables = {"rpt_header"};
  return c;
}

}  // namespace

const std::vector<ReportEntry>& Reports() {
  static const std::vector<ReportEntry> reports = {
      {"Rpt_Tol_Good", [](Gen& g) { return GoodsReport(g, "Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good"); }},
      {"Rpt_Fy_Good", [](Gen& g) { return GoodsReport(g, "Rpt_Fy_Good", "rpt_fy_v", "rpt_fy_good"); }},
      {"Rpt_Zy_Good",
       [](Gen& g) {
         return GoodsReport(g, "Rpt_Zy_Good", g.Pick<std::string>({"rpt_zyqd_v", "rpt_zyjz_v", "rpt_zyjs_v"}),
                            "rpt_zy_good");
       }},
      {"Rpt_KcCk", [](Gen& g) { return GoodsReport(g, "Rpt_KcCk", "rpt_kcck_v", "rpt_kcck"); }},
      {"Rpt_KcRk", [](Gen& g) { return GoodsReport(g, "Rpt_KcRk", "rpt_kcrk_v", "rpt_kcrk"); }},
      {"Rpt_Kc_Count", [](Gen& g) { return GoodsReport(g, "Rpt_Kc_Count", "rpt_kc_count_v", "rpt_kc_count"); }},
      {"Rpt_Kc_Zz", StockLedger},
      {"Rpt_Tol_Type",
       [](Gen& g) {
         Case c = CategoryReportCase(g, "Rpt_Tol_Type", "rpt_tol_type");
         c.props.insert(c.props.begin() + 2,
                        {"ObjField", Variant(g.Pick<std::string>({"DepaID", "DoctorID", "JzrDay"}))});
         return c;
       }},
      {"Rpt_Tol_TypeDx",
       [](Gen& g) {
         Case c = CategoryReportCase(g, "Rpt_Tol_TypeDx", "rpt_tol_typedx");
         c.calls_after = {"GetAllQty"};
         return c;
       }},
      {"Rpt_Tol_Day", DayReport},
      {"Rpt_RegCz_Day", RegistrationDay},
      {"Rpt_RegCz", [](Gen& g) { return HeaderOnly(g, "Rpt_RegCz", "rpt_regcz"); }},
      {"Rpt_Kc_Query",
       [](Gen& g) {
         Case c = HeaderOnly(g, "Rpt_Kc_Query", "rpt_kc_query");
         c.props.push_back({"Kfhb", Variant(static_cast<int16_t>(g.Int(0, 1)))});
         return c;
       }},
      {"Rpt_KcRk_Price",
       [](Gen& g) {
         Case c = GoodsReport(g, "Rpt_KcRk_Price", "rpt_kcrk_price_v", "rpt_kcrk_price");
         c.report_scripts.insert(c.report_scripts.end(), {"price_reports", "hospital_lookups"});
         c.report_rows.push_back("insert into qev_pub_xydw (id,name) values ('S01','国药控股'),('1001','Pfizer')");
         c.props.push_back({"SupFac", Variant(static_cast<int16_t>(g.Int(0, 2)))});
         return c;
       }},
      {"Rpt_Zy_Type",
       [](Gen& g) {
         Case c = InpatientCase(g, "Rpt_Zy_Type", "rpt_zy_type", "inpatient_reports");
         c.props.push_back({"ObjField", Variant(g.Pick<std::string>({"DepaID", "DoctorID", "CountDate"}))});
         return c;
       }},
      {"Rpt_Zy_TypeDx",
       [](Gen& g) {
         Case c = InpatientCase(g, "Rpt_Zy_TypeDx", "rpt_zy_typedx", "inpatient_reports");
         c.calls_after = {"GetAllQty"};
         return c;
       }},
      {"Rpt_Zy_Day",
       [](Gen& g) {
         Case c = InpatientCase(g, "Rpt_Zy_Day", "rpt_zy_day", "daily_reports");
         c.props[1] = {"ObjField", Variant(g.Pick<std::string>({"DepaID", "DoctorID", "fpxmid"}))};
         c.props.push_back({"AmtQty", Variant(static_cast<int16_t>(g.Int(0, 1)))});
         c.calls_after = {"CalcuDayQty"};
         return c;
       }},
      {"Rpt_Tol_Rbb", [](Gen& g) { return DailySheet(g, "Rpt_Tol_Rbb"); }},
      {"Rpt_Yjk_Rbb", [](Gen& g) { return DailySheet(g, "Rpt_Yjk_Rbb"); }},
      {"Rpt_Yb_Rbb", [](Gen& g) { return DailySheet(g, "Rpt_Yb_Rbb"); }},
      {"Rpt_Yb_Rbb_Zyjz", [](Gen& g) { return DailySheet(g, "Rpt_Yb_Rbb_Zyjz"); }},
      {"Rpt_Yb_Rbb_Zyjs", [](Gen& g) { return DailySheet(g, "Rpt_Yb_Rbb_Zyjs"); }},
  };
  return reports;
}

}  // namespace qev::testing::diff
