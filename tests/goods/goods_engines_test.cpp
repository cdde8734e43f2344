// The six goods reports on the same data on SQLite and on PostgreSQL, and
// with the report database on one engine and the source databases on the
// other: every report gives the same rows everywhere.
#include <cmath>
#include <cstdio>
#include <random>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "tests/goods/goods_fixture.h"

namespace qev::testing {
namespace {

// The same source rows in every source database of both engines: the
// statements are written once and run on each.
std::vector<std::string> SourceRows(int k) {
  std::mt19937 rng(static_cast<uint32_t>(1000 + k));
  auto good = [&] { return std::to_string(1001 + rng() % 9); };  // 1006..1009 unknown
  auto money = [&](int max_cents) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(rng() % max_cents) / 100.0);
    return std::string(buf);
  };
  auto qty = [&] {
    const int q = static_cast<int>(rng() % 41) - 8;
    return rng() % 4 == 0 ? std::to_string(q) + ".5" : std::to_string(q);
  };
  auto rate = [&] { return std::string(std::vector<const char*>{"1", "10", "12", "24"}[rng() % 4]); };
  auto date = [&] {
    char buf[16];
    std::snprintf(buf, sizeof buf, "2024-01-%02d", static_cast<int>(1 + rng() % 28));
    return std::string(buf);
  };
  std::vector<std::string> out;
  std::string fy = "insert into fy_detail (goodid,MzZy,iDate,Qty,UnitRate,Amt) values ";
  for (int i = 0; i < 120; ++i)
    fy += std::string(i ? "," : "") + "('" + good() + "','" + std::to_string(1 + rng() % 3) +
          "','" + date() + "'," + qty() + "," + rate() + "," + money(90000) + ")";
  out.push_back(fy);
  std::string kc =
      "insert into kc_move (goodid,Type,CkTypeID,iDate,Qty,UnitRate,JhPrice,UnitPrice) values ";
  for (int i = 0; i < 150; ++i)
    kc += std::string(i ? "," : "") + "('" + good() + "','" + std::to_string(rng() % 10) + "','" +
          std::to_string(1 + rng() % 9) + "','" + date() + "'," + qty() + "," + rate() + "," +
          money(5000) + "," + money(8000) + ")";
  out.push_back(kc);
  std::string zy = "insert into zy_good_fee (Kind,goodid,iDate,Qty,UnitRate,Amt) values ";
  const char* kinds[] = {"qd", "jz", "js"};
  for (int i = 0; i < 90; ++i)
    zy += std::string(i ? "," : "") + "('" + kinds[rng() % 3] + "','" + good() + "','" + date() +
          "'," + qty() + "," + rate() + "," + money(20000) + ")";
  out.push_back(zy);
  return out;
}

struct ReportCase {
  const char* cls;
  const char* view;
  const char* table;
  const char* cond;
};

const ReportCase kCases[] = {
    {"Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good", ""},
    {"Rpt_Tol_Good", "rpt_fy_v", "rpt_tol_good", "iDate >= {d '2024-01-10'} and MzZy<>'3'"},
    {"Rpt_Fy_Good", "rpt_fy_v", "rpt_fy_good", ""},
    {"Rpt_Zy_Good", "rpt_zyqd_v", "rpt_zy_good", ""},
    {"Rpt_Zy_Good", "rpt_zyjz_v", "rpt_zy_good", "goodid in ('1001','1002','1007')"},
    {"Rpt_Zy_Good", "rpt_zyjs_v", "rpt_zy_good", ""},
    {"Rpt_KcCk", "rpt_kcck_v", "rpt_kcck", ""},
    {"Rpt_KcRk", "rpt_kcrk_v", "rpt_kcrk", "iDate < {d '2024-01-20'}"},
    {"Rpt_Kc_Count", "rpt_kc_count_v", "rpt_kc_count", ""},
};

using Row = std::map<std::string, Variant>;
using Rows = std::map<std::string, Row>;

// Two values alike: both Null, equal texts, or numbers equal to the
// rounding of double sums, which the engines may add in another order.
bool Alike(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
  if (a.IsNumeric() && b.IsNumeric()) {
    const double x = a.ToDouble(), y = b.ToDouble();
    return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(x));
  }
  return a.IsNumeric() == b.IsNumeric() && a.ToText() == b.ToText();
}

std::string Show(const Variant& v) { return v.IsNull() ? "<null>" : ConcatText(v); }

void ExpectSameRows(const Rows& expected, const Rows& got, const std::string& what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(expected.size(), got.size());
  for (const auto& [key, row] : expected) {
    SCOPED_TRACE("row " + key);
    ASSERT_TRUE(got.count(key));
    const Row& other = got.at(key);
    ASSERT_EQ(row.size(), other.size());
    for (const auto& [column, value] : row) {
      ASSERT_TRUE(other.count(column)) << column;
      EXPECT_TRUE(Alike(value, other.at(column)))
          << column << ": " << Show(value) << " vs " << Show(other.at(column));
    }
  }
}

class GoodsEnginesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterGoodsClasses(); }

  void SetUp() override {
    sqlite_ = std::make_unique<GoodsDatabases>(Backend::kSqlite, dir_);
    pg_ = std::make_unique<GoodsDatabases>(Backend::kPostgres, dir_);
    if (!pg_->available()) GTEST_SKIP() << pg_->why();
    for (GoodsDatabases* dbs : {sqlite_.get(), pg_.get()}) {
      dbs->Create();
      for (int k = 1; k <= 3; ++k)
        for (const std::string& sql : SourceRows(k))
          Call(Variant(dbs->sources_[k - 1]), "Exec", Variant(sql));
    }
  }

  // The same data once more on both servers reached through their ODBC
  // drivers.
  void AddOdbc() {
    odbc_sqlite_ = std::make_unique<GoodsDatabases>(Backend::kOdbcSqlite, dir_);
    odbc_pg_ = std::make_unique<GoodsDatabases>(Backend::kOdbcPostgres, dir_);
    for (GoodsDatabases* dbs : {odbc_sqlite_.get(), odbc_pg_.get()}) {
      dbs->Create();
      for (int k = 1; k <= 3; ++k)
        for (const std::string& sql : SourceRows(k))
          Call(Variant(dbs->sources_[k - 1]), "Exec", Variant(sql));
    }
  }

  void TearDown() override {
    for (GoodsDatabases* dbs : {sqlite_.get(), pg_.get(), odbc_sqlite_.get(), odbc_pg_.get()}) {
      if (dbs == nullptr) continue;
      dbs->host_.reset();
      dbs->sources_.clear();
    }
  }

  // Runs a report with the host object of `report` on the sources of
  // `sources` (SourceNum 3) and returns the workstation's rows.
  static Rows Run(const ReportCase& c, const GoodsDatabases& report, const GoodsDatabases& sources) {
    Variant r(CreateObject(std::string("qevRptCalLib.") + c.cls));
    Set(r, "Global_Lib_Obj", report.host_);
    Let(r, "SourceViewName", Variant(c.view));
    Let(r, "RptTab", Variant(c.table));
    Let(r, "RptDesc", Variant(std::string("Report") + "\x1F" + c.cls));
    Let(r, "CondStr", Variant(c.cond));
    Call(r, "CalcuRpt", Variant(int16_t{3}), Variant(sources.sources_[0]),
         Variant(sources.sources_[1]), Variant(sources.sources_[2]));
    const Variant q0 = Get(Variant(report.host_), "DbA_Query0_Obj");
    Rows rows = QueryByKey(q0, std::string("select nameid, * from ") + c.table +
                                   " where computer='WS1'");
    Rows header = QueryByKey(q0, std::string("select rpttab, * from rpt_header where rpttab='") +
                                     c.table + "' and computer='WS1'");
    for (auto& [key, row] : header) rows["header " + key] = std::move(row);
    return rows;
  }

  TempDir dir_;
  std::unique_ptr<GoodsDatabases> sqlite_, pg_, odbc_sqlite_, odbc_pg_;
};

// Exactly the same rows: both Null, or the same text, or numbers equal to
// the last bit; or, with a `tolerance`, by at most that much.
void ExpectIdenticalRows(const Rows& expected, const Rows& got, const std::string& what,
                         double tolerance = 0) {
  SCOPED_TRACE(what);
  ASSERT_EQ(expected.size(), got.size());
  for (const auto& [key, row] : expected) {
    SCOPED_TRACE("row " + key);
    ASSERT_TRUE(got.count(key));
    const Row& other = got.at(key);
    ASSERT_EQ(row.size(), other.size());
    for (const auto& [column, value] : row) {
      ASSERT_TRUE(other.count(column)) << column;
      const Variant& v = other.at(column);
      const bool same = value.IsNull() || v.IsNull()
                            ? value.IsNull() && v.IsNull()
                            : value.IsNumeric() && v.IsNumeric()
                                ? (tolerance > 0
                                       ? std::fabs(value.ToDouble() - v.ToDouble()) <= tolerance
                                       : value.ToDouble() == v.ToDouble())
                                                                 : ConcatText(value) == ConcatText(v);
      EXPECT_TRUE(same) << column << ": " << Show(value) << " vs " << Show(v);
    }
  }
}

TEST_F(GoodsEnginesTest, EveryGoodsReportGivesTheSameRowsOnBothEngines) {
  for (const ReportCase& c : kCases) {
    const std::string what = std::string(c.cls) + " on " + c.view + " [" + c.cond + "]";
    const Rows on_sqlite = Run(c, *sqlite_, *sqlite_);
    const Rows on_pg = Run(c, *pg_, *pg_);
    // Every report reaches at least three goods (plus the header row), so
    // a report that lost rows shows.
    EXPECT_GE(on_sqlite.size(), 4u) << what;
    ExpectSameRows(on_sqlite, on_pg, what + ": SQLite vs PostgreSQL");
  }
}

TEST_F(GoodsEnginesTest, ReportAndSourceDatabasesMayUseDifferentEngines) {
  for (const ReportCase& c : {kCases[0], kCases[2], kCases[6], kCases[8]}) {
    const std::string what = std::string(c.cls) + " on " + c.view;
    const Rows on_sqlite = Run(c, *sqlite_, *sqlite_);
    ExpectSameRows(on_sqlite, Run(c, *pg_, *sqlite_), what + ": PostgreSQL report, SQLite sources");
    ExpectSameRows(on_sqlite, Run(c, *sqlite_, *pg_), what + ": SQLite report, PostgreSQL sources");
  }
}

TEST_F(GoodsEnginesTest, EveryGoodsReportGivesTheSameRowsOverOdbc) {
  AddOdbc();
  for (const ReportCase& c : kCases) {
    const std::string what = std::string(c.cls) + " on " + c.view + " [" + c.cond + "]";
    // The SQLite ODBC driver hands a computed real over as text of 15
    // significant digits (0.1+0.2 comes as 0.3): a figure the report rounds
    // to cents at each merge may end a few cents away.
    ExpectIdenticalRows(Run(c, *sqlite_, *sqlite_), Run(c, *odbc_sqlite_, *odbc_sqlite_),
                        what + ": SQLite natively vs through its ODBC driver", 0.05);
    ExpectIdenticalRows(Run(c, *pg_, *pg_), Run(c, *odbc_pg_, *odbc_pg_),
                        what + ": PostgreSQL natively vs through psqlODBC");
  }
  // The report database over ODBC with native sources, and the reverse.
  for (const ReportCase& c : {kCases[1], kCases[6]}) {
    const std::string what = std::string(c.cls) + " on " + c.view;
    const Rows native = Run(c, *pg_, *pg_);
    ExpectIdenticalRows(native, Run(c, *odbc_pg_, *pg_), what + ": psqlODBC report, libpq sources");
    ExpectIdenticalRows(native, Run(c, *pg_, *odbc_pg_), what + ": libpq report, psqlODBC sources");
    ExpectIdenticalRows(Run(c, *sqlite_, *sqlite_), Run(c, *odbc_pg_, *odbc_sqlite_),
                        what + ": psqlODBC report, SQLite ODBC sources", 0.05);
  }
}

}  // namespace
}  // namespace qev::testing
