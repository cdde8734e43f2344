// Shared pieces of the host tests: a fresh report database on SQLite or
// PostgreSQL (natively or through their ODBC drivers), reached through the host library object, and helpers to read
// results and raised errors and to ask the engine's catalogue.
//
// HostTest is parametrised by the engine (each TEST_P runs on both, see
// INSTANTIATE_TEST_SUITE_P in each file); SqliteHostTest and
// PostgresHostTest are the fixtures of the few tests about one engine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "tests/platform/runtime_expect.h"
#include "tests/support/backend.h"
#include "tests/support/temp_dir.h"

namespace qev::host::testing {

using ::qev::testing::Backend;

using ::qev::testing::ExpectRaised;
using ::qev::testing::RaisedBy;

// Joins values into a value list.
template <typename... Parts>
std::string Values(const Parts&... parts) {
  std::string out;
  bool first = true;
  ((out += (first ? "" : std::string(kValueListSeparator)), out += parts, first = false), ...);
  return out;
}

class HostFixtureBase : public ::testing::Test {
 protected:
  virtual Backend backend() const = 0;

  // Derived fixtures call this first and return when IsSkipped().
  void SetUp() override {
    dbs_ = std::make_unique<::qev::testing::TestDatabases>(backend(), dir_);
    if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
    db_path_ = dbs_->Create("report");
    host_ = CreateHostLib(db_path_, "WS1");
    q_ = Get(host_, "DbA_Query0_Obj");
  }

  void TearDown() override {
    q_ = Variant();
    host_ = Variant();
  }

  // The dialect: PostgreSQL, natively or through ODBC.
  bool pg() const { return ::qev::testing::IsPostgresDialect(backend()); }
  bool odbc() const { return ::qev::testing::IsOdbc(backend()); }
  // The error source of the engine.
  std::string source() const {
    return odbc() ? "qev.OdbcHost" : pg() ? "qev.PostgresHost" : "qev.SqliteHost";
  }
  // `sqlite` on SQLite, `postgres` on PostgreSQL.
  std::string On(const std::string& sqlite, const std::string& postgres) const {
    return pg() ? postgres : sqlite;
  }

  // Runs a statement through the report query object.
  void Exec(const std::string& sql) { Call(q_, "Exec", sql); }

  // Opens a record set on the report query object.
  Variant Open(const std::string& sql) { return Call(q_, "OpenRs", sql); }

  // The first field of the first row of `sql` (Null when there is no row).
  Variant Scalar(const std::string& sql) {
    Variant rs = Open(sql);
    Variant v = Get(rs, "RecordCount").ToInt32() > 0 ? Call(rs, "Fields", int16_t{0}) : Variant::Null();
    Call(rs, "Close");
    return v;
  }

  int32_t Count(const std::string& table, const std::string& cond = "") {
    return Scalar("select count(*) from " + table + (cond.empty() ? "" : " where " + cond)).ToInt32();
  }

  // A table (not a view) of that name in the test's database.
  bool TableExists(const std::string& name) {
    if (pg())
      return Count("pg_catalog.pg_tables",
                   "schemaname = current_schema() and tablename = lower('" + name + "')") == 1;
    return Count("sqlite_master", "type='table' and name='" + name + "'") == 1;
  }

  // The name of the test database's schema ("main" on SQLite).
  std::string SchemaName() { return pg() ? Scalar("select current_schema()").ToText() : "main"; }

  ::qev::testing::TempDir dir_;
  std::unique_ptr<::qev::testing::TestDatabases> dbs_;
  std::string db_path_;
  Variant host_;
  Variant q_;
};

// Runs on every engine.
class HostTest : public HostFixtureBase, public ::testing::WithParamInterface<Backend> {
 protected:
  Backend backend() const override { return GetParam(); }
};

template <Backend B>
class OneEngineHostTest : public HostFixtureBase {
 protected:
  Backend backend() const override { return B; }
};
using SqliteHostTest = OneEngineHostTest<Backend::kSqlite>;
using PostgresHostTest = OneEngineHostTest<Backend::kPostgres>;

}  // namespace qev::host::testing
