// The one fixture of the report suites: a report database and source
// databases with the schema scripts a suite names, on SQLite (separate
// files) or PostgreSQL (separate schemas of the test server). Each TEST_P
// of a suite derived from ReportFixture runs on both engines:
//
//   class DayTest : public ReportFixture {
//    protected:
//     Scripts ReportScripts() const override { return {"category_reports", "daily_reports"}; }
//     Scripts SourceScripts() const override { return {"daily_sources"}; }
//   };
//   INSTANTIATE_TEST_SUITE_P(Backends, DayTest, AllBackends(), BackendTestName);
//
// Source rows are written inline with Exec or Insert; a report is created
// by ProgID with its properties, run, and its workstation's rows read back
// as a map by key; Traced() gives the tracing harness over the same
// databases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch.h"
#include "platform/variant.h"
#include "tests/support/backend.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"
#include "tests/support/traced_calls.h"

namespace qev::testing {

// Registers the report classes and the utility library's classes linked
// into the test binary.
void RegisterReportClasses();

// One report row: column name (lower case) -> value.
using Row = std::map<std::string, Variant>;
// Rows by the text of their key.
using Rows = std::map<std::string, Row>;

class ReportFixture : public ::testing::TestWithParam<Backend> {
 public:
  using Scripts = std::vector<std::string>;

  static void SetUpTestSuite() { RegisterReportClasses(); }
  // Creates the report database (fixed tables, then ReportScripts()) with
  // the host library object for workstation "WS1", and SourceCount()
  // source databases with SourceScripts(). Skips when the engine cannot be
  // reached.
  void SetUp() override;
  void TearDown() override;

 protected:
  // The schema scripts (schema/<dialect>/<name>.sql) of the report
  // database and of each source database.
  virtual Scripts ReportScripts() const = 0;
  virtual Scripts SourceScripts() const = 0;
  virtual int SourceCount() const { return 3; }

 public:
  // The dialect: PostgreSQL, natively or through ODBC.
  bool pg() const { return IsPostgresDialect(GetParam()); }
  // `sqlite` on SQLite, `postgres` on PostgreSQL.
  std::string On(const std::string& sqlite, const std::string& postgres) const {
    return pg() ? postgres : sqlite;
  }

  const Object& host() const { return host_; }
  Variant Query0() const;                                   // report query object
  Variant Source(int k) const { return Variant(sources_.at(k - 1)); }
  const std::string& report_connection() const { return report_; }
  const std::string& source_connection(int k) const { return source_connections_.at(k - 1); }

  // Runs `sql` on the report database (db 0) or on source database k.
  void Exec(int db, const std::string& sql) const;
  // insert into `table` (`columns`) values (row), (row), ...: each row the
  // SQL literals of one record, e.g. "'1001','1',2.5".
  void Insert(int db, const std::string& table, const std::string& columns,
              const std::vector<std::string>& rows) const;

  // The workstation of the host library object from now on.
  void SetWorkstation(const std::string& ws) const;

  // A new component qevRptCalLib.<cls> holding the host library object,
  // with each property let in the order given.
  Variant NewReport(const std::string& cls,
                    std::initializer_list<std::pair<std::string, Variant>> props = {}) const;
  // CalcuRpt(SourceNum, QueryDb1 .. QueryDb<passed>).
  void Calcu(const Variant& report, int16_t source_num, int passed) const;
  // Method `method`(SourceNum, QueryDb1 .. QueryDb<passed>), e.g.
  // CalcuDayQty or GetAllQty; returns its result.
  Variant CallWithSources(const Variant& report, const std::string& method, int16_t source_num,
                          int passed) const;

  // The workstation's rows of `table`, keyed by the text of the SQL
  // expression `key` (e.g. "nameid", "coalesce(nameid,name)").
  Rows RowsOf(const std::string& table, const std::string& key = "nameid",
              const std::string& ws = "WS1") const;
  // Rows of a query on the report database as text (fields joined by "|",
  // Null as "<null>").
  std::vector<std::string> Text(const std::string& sql) const { return QueryText(Query0(), sql); }

  // The tracing harness over this fixture's host object and sources.
  TracedCalls Traced() const { return TracedCalls(host_, sources_); }

 private:
  TempDir dir_;
  std::unique_ptr<TestDatabases> dbs_;
  Object host_;
  std::vector<Object> sources_;
  std::string report_;
  std::vector<std::string> source_connections_;
};

// The value of a numeric column, NaN for Null or a missing column (the
// latter also fails the test), so that a comparison with a number fails.
double Num(const Row& row, const std::string& column);
bool IsNull(const Row& row, const std::string& column);

// The values joined by the value-list separator, as a report hands them to
// InsertRecord or UpdateRecord: for comparing traced calls.
std::string ValueListOf(std::initializer_list<std::string> values);

}  // namespace qev::testing
