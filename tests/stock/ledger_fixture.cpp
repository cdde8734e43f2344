#include "tests/stock/ledger_fixture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "frame/registration.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace qev::testing {

namespace {

std::string Lit(const std::string& text) { return text.empty() ? "NULL" : "'" + text + "'"; }

std::string NumText(double v) { return FormatDouble(v); }

constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

double NumOrNaN(const Variant& v) { return v.IsNull() ? kNull : v.ToDouble(); }

}  // namespace

void LedgerFixture::SetUpTestSuite() {
  frame::RegisterLinkedClasses();
  utility::RegisterLinkedClasses();
}

void LedgerFixture::SetUp() {
  host_ = host::CreateHostLib(dir_.File("report.db"), "WS1");
  host::CreateFixedTables(Query0().object());
  schema::Apply(Query0(), "stock_reports");
  schema::Apply(Query0(), "goods_sources");  // the goods catalogue
  schema::Apply(Query0(), "hospital_lookups");
  ExecReport(
      "insert into qev_pub_good (id,Name,spec,UnitName) values "
      "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','布洛芬缓释胶囊','0.3g*20粒','盒'),"
      "('1003','生理盐水','500ml','瓶'),('1004','葡萄糖注射液','250ml:12.5g','瓶')");
  ExecReport(
      "insert into qev_pub_depa (id,name) values ('11','门诊药房'),('12','住院药房'),"
      "('13','药库')");
  for (int k = 1; k <= 3; ++k) {
    sources_.push_back(host::CreateQueryObj(dir_.File("source" + std::to_string(k) + ".db")));
    schema::Apply(Source(k), "goods_sources");
    schema::Apply(Source(k), "stock_sources");
  }
}

Variant LedgerFixture::Query0() const { return Get(Variant(host_), "DbA_Query0_Obj"); }

void LedgerFixture::ExecReport(const std::string& sql) const {
  Call(Query0(), "Exec", Variant(sql));
}

void LedgerFixture::ExecSource(int k, const std::string& sql) const {
  Call(Source(k), "Exec", Variant(sql));
}

void LedgerFixture::SetWorkstation(const std::string& ws) const {
  Let(Get(Variant(host_), "Global_Para_Obj"), "ComputerName", Variant(ws));
}

void LedgerFixture::AddMove(int k, const Move& m) {
  ExecSource(k,
             "insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,"
             "UnitPrice) values (" +
                 std::to_string(m.id) + "," + Lit(m.good) + "," + Lit(m.type) + "," + Lit(m.store) +
                 "," + Lit(m.from) + "," + Lit(m.date) + "," + NumText(m.qty) + "," +
                 NumText(m.rate) + ",1.5,2.25)");
  moves_.push_back(m);
}

Variant LedgerFixture::NewLedger(const std::string& cond) const {
  Variant r(CreateObject("qevRptCalLib.Rpt_Kc_Zz"));
  Set(r, "Global_Lib_Obj", host_);
  Let(r, "SourceViewName", Variant("rpt_kc_zz_v"));
  Let(r, "RptTab", Variant("rpt_kc_zz"));
  Let(r, "RptDetailTab", Variant("rpt_kc_zz_detail"));
  Let(r, "RptDesc", Variant(""));
  Let(r, "CondStr", Variant(cond));
  return r;
}

void LedgerFixture::Calcu(const Variant& report, int16_t source_num, int passed) const {
  ArgList args;
  args.Value(Variant(source_num));
  for (int k = 1; k <= passed; ++k) args.Value(Source(k));
  Invoke(report, "CalcuRpt", kInvokeMethod, args);
}

std::map<std::string, std::map<std::string, Variant>> LedgerFixture::Summary(
    const std::string& ws) const {
  return QueryByKey(Query0(),
                    "select coalesce(nameid, name) as rowkey, * from rpt_kc_zz where "
                    "computer='" +
                        ws + "'");
}

std::vector<DetailRow> LedgerFixture::Detail(const std::string& ws) const {
  std::vector<DetailRow> out;
  for (const auto& r : QueryRows(Query0(),
                                 "select goodid,Type,YfCkID,FromID,iDate,RkQty,CkQty,EndQty,Sn "
                                 "from rpt_kc_zz_detail where computer='" +
                                     ws + "' order by goodid, Sn")) {
    DetailRow d;
    d.good = ConcatText(r[0]);
    d.type = ConcatText(r[1]);
    d.store = ConcatText(r[2]);
    d.from = ConcatText(r[3]);
    d.date = ConcatText(r[4]);
    d.rk_null = r[5].IsNull();
    d.ck_null = r[6].IsNull();
    d.rk = d.rk_null ? 0 : r[5].ToDouble();
    d.ck = d.ck_null ? 0 : r[6].ToDouble();
    d.end = r[7].ToDouble();
    d.sn = r[8].ToInt32();
    out.push_back(d);
  }
  return out;
}

double BaseQty(const Move& m) {
  const double x = m.qty * m.rate;
  return std::copysign(std::floor(std::fabs(x) * 100 + 0.5 + 1e-9) / 100, x);
}

double Num(const std::map<std::string, Variant>& row, const std::string& column) {
  auto it = row.find(column);
  if (it == row.end()) {
    ADD_FAILURE() << "no column " << column;
    return kNull;
  }
  return NumOrNaN(it->second);
}

bool SameQty(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::fabs(a - b) < 1e-9;
}

LedgerFixture::Expected LedgerFixture::ExpectedLedger(
    const std::function<bool(const Move&)>& keep) const {
  Expected want;
  auto& summary = want.summary;
  auto row_of = [&](const std::string& good) -> std::vector<double>& {
    auto it = summary.find(good);
    if (it == summary.end()) it = summary.emplace(good, std::vector<double>(4, kNull)).first;
    return it->second;
  };
  auto add = [](double& column, double v) { column = (std::isnan(column) ? 0 : column) + v; };

  std::vector<Move> movements;
  std::map<std::string, double> opening;
  for (const Move& m : moves_) {
    if (keep && !keep(m)) continue;
    if (m.type != "0") {
      movements.push_back(m);
      continue;
    }
    const double q = BaseQty(m);
    auto& s = row_of(m.good);
    add(s[0], q);
    add(s[3], q);
    opening[m.good] += q;
  }
  for (const auto& [good, q] : opening) {
    DetailRow d{good, "0", "", "", "", 0, 0, q, true, true, 0};
    want.detail.push_back(d);
  }
  std::stable_sort(movements.begin(), movements.end(), [](const Move& a, const Move& b) {
    return a.date != b.date ? a.date < b.date : a.id < b.id;
  });
  int sn = 0;
  for (const Move& m : movements) {
    const double q = BaseQty(m);
    auto& s = row_of(m.good);
    DetailRow d;
    d.good = m.good;
    d.type = m.type;
    d.store = m.store;
    d.from = m.from;
    d.date = m.date;
    if (m.type == "1") {
      d.rk = q;
      add(s[1], q);
    } else if (m.type >= "2" && m.type <= "8" && m.type.size() == 1) {
      d.ck = -q;
      add(s[2], -q);
    }
    add(s[3], q);
    d.end = s[3];
    d.sn = ++sn;
    want.detail.push_back(d);
  }
  // Month totals; their Sn follow the movements in an order the ledger
  // does not fix, so they are marked here and checked as a range.
  for (const auto& [good, s] : summary) {
    DetailRow d{
        good, "100", "",    "", "", std::isnan(s[1]) ? 0 : s[1], std::isnan(s[2]) ? 0 : s[2],
        s[3], false, false, -1};
    want.detail.push_back(d);
  }
  std::stable_sort(want.detail.begin(), want.detail.end(),
                   [](const DetailRow& a, const DetailRow& b) {
                     if (a.good != b.good) return a.good < b.good;
                     const int ra = a.sn < 0 ? 1 << 30 : a.sn, rb = b.sn < 0 ? 1 << 30 : b.sn;
                     return ra < rb;
                   });
  return want;
}

void ExpectSameLedger(const LedgerFixture::Expected& want, const std::vector<DetailRow>& got,
                      const std::map<std::string, std::map<std::string, Variant>>& summary) {
  ASSERT_EQ(got.size(), want.detail.size());
  int movements = 0;
  std::set<int> total_sns;
  for (size_t i = 0; i < got.size(); ++i) {
    const DetailRow& w = want.detail[i];
    const DetailRow& g = got[i];
    SCOPED_TRACE("detail row " + std::to_string(i) + " good " + w.good + " type " + w.type);
    EXPECT_EQ(g.good, w.good);
    EXPECT_EQ(g.type, w.type);
    EXPECT_EQ(g.store, w.store);
    EXPECT_EQ(g.from, w.from);
    EXPECT_EQ(g.date, w.date);
    EXPECT_EQ(g.rk_null, w.rk_null);
    EXPECT_EQ(g.ck_null, w.ck_null);
    EXPECT_TRUE(SameQty(g.rk, w.rk)) << g.rk << " vs " << w.rk;
    EXPECT_TRUE(SameQty(g.ck, w.ck)) << g.ck << " vs " << w.ck;
    EXPECT_TRUE(SameQty(g.end, w.end)) << g.end << " vs " << w.end;
    if (w.sn >= 0) {
      EXPECT_EQ(g.sn, w.sn);
      if (w.sn > 0) ++movements;
    } else {
      total_sns.insert(g.sn);
    }
  }
  // The month totals are numbered on from the movements, one number each.
  std::set<int> want_sns;
  for (size_t i = 0; i < want.summary.size(); ++i)
    want_sns.insert(movements + 1 + static_cast<int>(i));
  EXPECT_EQ(total_sns, want_sns);

  ASSERT_EQ(summary.size(), want.summary.size());
  for (const auto& [good, s] : want.summary) {
    SCOPED_TRACE("summary of " + good);
    auto it = summary.find(good);
    ASSERT_NE(it, summary.end());
    const char* columns[] = {"qcqty", "rkqty", "ckqty", "endqty"};
    for (int c = 0; c < 4; ++c)
      EXPECT_TRUE(SameQty(NumOrNaN(it->second.at(columns[c])), s[c]))
          << columns[c] << " " << ConcatText(it->second.at(columns[c])) << " vs " << s[c];
  }
}

}  // namespace qev::testing
