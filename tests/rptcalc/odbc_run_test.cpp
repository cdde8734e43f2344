// rptcalc as a separate process on databases named "odbc:...", through the
// SQLite ODBC driver and psqlODBC: a report run prints what the same run
// prints on the native engine, also with the report database and the
// sources on different engines. (The guards of rptcalc, the statement
// timeout among them, run through ODBC in guards_test.cpp.)
#include "schema/schema.h"
#include "tests/rptcalc/rptcalc_fixture.h"
#include "tests/support/backend.h"

namespace qev::testing {
namespace {

class OdbcRunTest : public ::testing::TestWithParam<Backend> {
 protected:
  struct Pair {
    std::string report, source;
  };

  void SetUp() override {
    if (!odbc_.available()) GTEST_SKIP() << odbc_.why();
    native_db_ = Fill(native_);
    odbc_db_ = Fill(odbc_);
  }
  // A report database and a source database of `dbs` with the same goods
  // and dispensing rows.
  Pair Fill(TestDatabases& dbs) const {
    const Pair p{dbs.Create("report"), dbs.Create("source")};
    const Object host = host::CreateHostLib(p.report, "WS1");
    const Variant q0 = Get(Variant(host), "DbA_Query0_Obj");
    host::CreateFixedTables(q0.object());
    schema::Apply(q0, "goods_reports");
    schema::Apply(q0, "goods_sources");
    const Variant src(host::CreateQueryObj(p.source));
    schema::Apply(src, "goods_sources");
    // Amounts with mills and thirds of a cent, so that the average prices
    // are no short decimals.
    std::string rows = "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ";
    for (int i = 0; i < 300; ++i)
      rows.append(i ? "," : "")
          .append("('" + std::to_string(1001 + i % 37) + "','" + std::to_string(1 + i % 2) + "',")
          .append(std::to_string(i % 9 + 1) + "," + std::to_string(i % 3 ? 1 : 12) + ",")
          .append(std::to_string(i % 17) + "." + std::to_string(100 + i * 7 % 900) + ")");
    Call(src, "Exec", Variant(rows));
    return p;
  }
  std::vector<std::string> TolGood(const Pair& db, std::vector<std::string> more = {}) const {
    std::vector<std::string> a = {"run", "Rpt_Tol_Good", "--db", db.report, "--source", db.source,
                                  "--workstation", "WS1", "--set", "SourceViewName=rpt_fy_v",
                                  "--set", "RptTab=rpt_tol_good", "--format", "csv"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
  }
  ProcessResult Rptcalc(const std::vector<std::string>& args) const {
    return RunProcess(RPTCALC_EXE, args, dir_.path(),
                      {{"QEV_REGISTRY", dir_.File("registry/classes.reg")}});
  }
  Backend Native() const { return IsPostgresDialect(GetParam()) ? Backend::kPostgres : Backend::kSqlite; }

  TempDir dir_;
  TestDatabases odbc_{GetParam(), dir_};
  TestDatabases native_{Native(), dir_};
  Pair native_db_, odbc_db_;
};

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcRunTest, OdbcBackends(), BackendTestName);

TEST_P(OdbcRunTest, PrintsWhatTheNativeEnginePrints) {
  const ProcessResult native = Rptcalc(TolGood(native_db_));
  ASSERT_EQ(native.status, 0) << native.err;
  ASSERT_GE(Lines(native.out).size(), 38u) << native.out;  // a header and 37 goods
  const ProcessResult odbc = Rptcalc(TolGood(odbc_db_));
  EXPECT_EQ(odbc.status, 0) << odbc.err;
  EXPECT_EQ(odbc.out, native.out);
  // The report database over ODBC reading native sources, and the reverse.
  ProcessResult mixed = Rptcalc(TolGood({odbc_db_.report, native_db_.source}));
  EXPECT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_EQ(mixed.out, native.out);
  mixed = Rptcalc(TolGood({native_db_.report, odbc_db_.source}));
  EXPECT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_EQ(mixed.out, native.out);
  // The rows as stored, read again without calculating.
  const ProcessResult stored = Rptcalc(TolGood(odbc_db_, {"--no-calc"}));
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(stored.out, native.out);
}

}  // namespace
}  // namespace qev::testing
