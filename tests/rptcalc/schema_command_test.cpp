// rptcalc schema on both engines, on an empty database and on databases
// whose lookups and sources are the hospital's own objects, as tables or
// as views, holding rows that must survive.
#include <set>
#include <sstream>

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
  bool pg() const { return GetParam() == Backend::kPostgres; }
  std::string NewDatabase(const std::string& role) {
    const std::string db = dbs_->Create(role);
    return pg() ? db : dir_.File(std::filesystem::path(db).filename());
  }
  ProcessResult Schema(const std::string& db, std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {"schema", "--db", db};
    args.insert(args.end(), more.begin(), more.end());
    return RunProcess(RPTCALC_EXE, args, dir_.path(),
                      {{"QEV_REGISTRY", dir_.File("registry/classes.reg")}});
  }
  // The lines of the output that start with `word`.
  static std::vector<std::string> Lines(const std::string& out, const std::string& word) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
      if (line.rfind(word, 0) == 0) lines.push_back(line);
    return lines;
  }
  // The lookup and source tables and views of the scripts.
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

TEST_P(SchemaCommandTest, EmptyDatabaseThenAgain) {
  const std::string db = NewDatabase("empty");
  ProcessResult r = Schema(db);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto created = Lines(r.out, "created ");
  EXPECT_TRUE(Lines(r.out, "found").empty()) << r.out;
  for (const char* want : {"created table rpt_header", "created table rpt_tol_good",
                           "created view qev_pub_Good_V", "created index kc_move_good"})
    EXPECT_NE(std::find(created.begin(), created.end(), want), created.end()) << want << r.out;
  if (pg()) {
    EXPECT_NE(r.out.find("created sequence qev_sn_tempid"), std::string::npos) << r.out;
  }
  // Again: every object found, nothing created.
  r = Schema(db);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Lines(r.out, "created").empty()) << r.out;
  EXPECT_EQ(Lines(r.out, "found ").size(), created.size()) << r.out;
  EXPECT_NE(r.out.find(": 0 created, " + std::to_string(created.size()) + " found, 0 skipped"),
            std::string::npos) << r.out;
}

TEST_P(SchemaCommandTest, HospitalTablesAndViewsAreLeftAsTheyAre) {
  const auto objects = HospitalObjects();
  std::set<std::string> names;
  for (const auto& o : objects) names.insert(o.name);
  for (const char* want : {"qev_pub_good", "qev_pub_Good_V", "fy_detail", "rpt_fy_v"})
    ASSERT_TRUE(names.count(want)) << want;
  for (const bool as_view : {false, true}) {
    SCOPED_TRACE(as_view ? "as views" : "as tables");
    const std::string db = NewDatabase(as_view ? "views" : "tables");
    const Variant q(host::CreateQueryObj(db));
    for (const auto& o : objects) {
      if (as_view)
        Call(q, "Exec", Variant("create view " + o.name + " as select 'own " + o.name +
                                "' as hospital_col"));
      else {
        Call(q, "Exec", Variant("create table " + o.name + " (hospital_col text)"));
        Call(q, "Exec", Variant("insert into " + o.name + " values ('own " + o.name + "')"));
      }
    }
    for (int run = 0; run < 2; ++run) {
      const ProcessResult r = Schema(db);
      ASSERT_EQ(r.status, 0) << r.out << r.err;
      for (const auto& o : objects) {
        SCOPED_TRACE(o.name);
        const std::string kind = as_view ? "view" : "table";
        std::string line = "found   " + kind + " " + o.name;
        if (kind != o.kind) line += " (the schema has a " + o.kind + " there)";
        EXPECT_NE(r.out.find(line + ", left as it is\n"), std::string::npos) << r.out;
        EXPECT_EQ(QueryText(q, "select * from " + o.name),
                  std::vector<std::string>{"own " + o.name});
      }
      // Indexes of the hospital's tables are not added; the report side is
      // made on the first run only.
      EXPECT_EQ(r.out.find("created index kc_move_good"), std::string::npos);
      if (!as_view) {
        EXPECT_NE(r.out.find("skipped index kc_move_good: its table kc_move was already there"),
                  std::string::npos) << r.out;
      }
      EXPECT_EQ(r.out.find("created table rpt_tol_good") != std::string::npos, run == 0) << r.out;
    }
  }
}

TEST_P(SchemaCommandTest, ReportOnlyMakesTheReportSide) {
  const std::string db = NewDatabase("report");
  ProcessResult r = Schema(db, {"--report-only"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("created table rpt_header"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("created table rpt_tol_good"), std::string::npos);
  for (const auto& o : HospitalObjects())
    EXPECT_EQ(r.out.find(" " + o.name + "\n"), std::string::npos) << o.name;
  const Variant q(host::CreateQueryObj(db));
  EXPECT_THROW(QueryText(q, "select * from qev_pub_good"), RuntimeError);
  r = Schema(db, {"--report-only"});
  EXPECT_TRUE(Lines(r.out, "created").empty()) << r.out;
}

}  // namespace
}  // namespace qev::testing
