// rptcalc schema on both engines: an empty database, twice; the report side
// only; and databases whose lookups and sources are the hospital's own
// tables or views, holding rows that must survive.
#include <set>

#include "platform/ci_map.h"
#include "platform/error.h"
#include "schema/schema.h"
#include "tests/rptcalc/rptcalc_fixture.h"
#include "tests/support/backend.h"

namespace qev::testing {
namespace {

class SchemaCommandTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    dbs_ = std::make_unique<TestDatabases>(GetParam(), dir_);
    if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
  }
  std::string NewDatabase(const std::string& role) {
    const std::string db = dbs_->Create(role);
    return GetParam() != Backend::kSqlite ? db : dir_.File(std::filesystem::path(db).filename());
  }
  ProcessResult Schema(const std::string& db, const std::string& more = "") const {
    std::vector<std::string> args = {"schema", "--db", db};
    if (!more.empty()) args.push_back(more);
    return RunProcess(RPTCALC_EXE, args, dir_.path(),
                      {{"QEV_REGISTRY", dir_.File("registry/classes.reg")}});
  }
  static size_t Count(const std::string& out, const std::string& start) {
    size_t n = 0;
    for (const auto& line : Lines(out)) n += line.rfind(start, 0) == 0;
    return n;
  }
  // The lookup and source tables and views of the scripts, once each.
  static std::vector<schema::SchemaObject> HospitalObjects() {
    const auto report = schema::ReportScriptNames();
    std::vector<schema::SchemaObject> objects;
    std::set<std::string> seen;
    for (const std::string& script : schema::ScriptNames()) {
      if (std::find(report.begin(), report.end(), script) != report.end()) continue;
      for (const std::string& st : schema::Statements(script, schema::kSqlite)) {
        schema::SchemaObject o = schema::ObjectOf(st);
        if ((o.kind == "table" || o.kind == "view") && seen.insert(ToLowerAscii(o.name)).second)
          objects.push_back(o);
      }
    }
    return objects;
  }

  TempDir dir_;
  std::unique_ptr<TestDatabases> dbs_;
};

INSTANTIATE_TEST_SUITE_P(Backends, SchemaCommandTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, SchemaCommandTest, OdbcBackends(), BackendTestName);

TEST_P(SchemaCommandTest, EmptyDatabaseTwiceAndTheReportSideAlone) {
  const std::string db = NewDatabase("empty");
  ProcessResult r = Schema(db);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const char* want : {"created table rpt_header\n", "created table rpt_tol_good\n",
                           "created view qev_pub_Good_V\n", "created index kc_move_good\n"})
    EXPECT_NE(r.out.find(want), std::string::npos) << want << r.out;
  const size_t created = Count(r.out, "created ");
  EXPECT_EQ(Count(r.out, "found"), 0u) << r.out;
  r = Schema(db);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(": 0 created, " + std::to_string(created) + " found, 0 skipped, 0 failed"),
            std::string::npos) << r.out;

  const std::string report = NewDatabase("report");
  r = Schema(report, "--report-only");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("created table rpt_tol_good\n"), std::string::npos) << r.out;
  for (const auto& o : HospitalObjects()) EXPECT_EQ(r.out.find(" " + o.name + "\n"), std::string::npos);
  EXPECT_THROW(QueryText(Variant(host::CreateQueryObj(report)), "select * from qev_pub_good"),
               RuntimeError);
}

TEST_P(SchemaCommandTest, HospitalTablesAndViewsAreLeftAsTheyAre) {
  const auto objects = HospitalObjects();
  ASSERT_GE(objects.size(), 20u);
  for (const bool as_view : {false, true}) {
    SCOPED_TRACE(as_view ? "as views" : "as tables");
    const std::string db = NewDatabase(as_view ? "views" : "tables");
    const Variant q(host::CreateQueryObj(db));
    for (const auto& o : objects) {
      const std::string own = "'own " + o.name + "'";
      if (as_view) {
        Call(q, "Exec", Variant("create view " + o.name + " as select " + own + " as mine"));
      } else {
        Call(q, "Exec", Variant("create table " + o.name + " (mine text)"));
        Call(q, "Exec", Variant("insert into " + o.name + " values (" + own + ")"));
      }
    }
    for (int run = 0; run < 2; ++run) {
      const ProcessResult r = Schema(db);
      ASSERT_EQ(r.status, 0) << r.out << r.err;
      const std::string kind = as_view ? "view" : "table";
      for (const auto& o : objects) {
        const std::string other = kind == o.kind ? "" : " (the schema has a " + o.kind + " there)";
        EXPECT_NE(r.out.find("found   " + kind + " " + o.name + other + ", left as it is\n"),
                  std::string::npos) << o.name << "\n" << r.out;
        EXPECT_EQ(QueryText(q, "select * from " + o.name), std::vector<std::string>{"own " + o.name});
      }
      EXPECT_NE(r.out.find("skipped index kc_move_good: its table kc_move was already there"),
                std::string::npos) << r.out;
      // The report side is made on the first run only.
      EXPECT_EQ(r.out.find("created table rpt_tol_good") != std::string::npos, run == 0) << r.out;
    }
  }
}

}  // namespace
}  // namespace qev::testing
