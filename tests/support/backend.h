// The database engines a test suite runs on, and fresh empty databases for
// one test on either of them.
//
// SQLite databases are files in the test's temporary directory. PostgreSQL
// databases are schemas of their own on the test server, reached through
// a connection text whose search path names that schema, so that every
// test (and every database of a test) starts empty and sees only its own
// tables and sequences; they are dropped when the test ends.
//
// The test server: the connection text in QEV_PG_URL, else the one that
// the throwaway server of CTest (tools/pgtest/pgtest, started before the
// first test that needs it) wrote into $QEV_PG_STATE/url. Without a server
// the PostgreSQL variants of the tests are skipped with the reason.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/odbc_url.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {

// The native engines, and the same two servers reached through their ODBC
// drivers (the SQLite ODBC driver on files, psqlODBC on the test server;
// see tests/odbc/odbcinst.ini).
enum class Backend { kSqlite, kPostgres, kOdbcSqlite, kOdbcPostgres };

// "SQLite", "PostgreSQL", "OdbcSQLite" or "OdbcPostgreSQL".
const char* BackendName(Backend backend);
// True for PostgreSQL, natively or through ODBC: the SQL dialect a test
// writes its statements in.
inline bool IsPostgresDialect(Backend b) { return b == Backend::kPostgres || b == Backend::kOdbcPostgres; }
inline bool IsOdbc(Backend b) { return b == Backend::kOdbcSqlite || b == Backend::kOdbcPostgres; }

// Both native engines, for INSTANTIATE_TEST_SUITE_P, with BackendTestName
// as the name generator: Backends/QueryObjectTest.Insert/SQLite.
inline auto AllBackends() { return ::testing::Values(Backend::kSqlite, Backend::kPostgres); }
// Both ODBC flavours, for the suites that also run over ODBC:
// Odbc/QueryObjectTest.Insert/OdbcSQLite.
inline auto OdbcBackends() { return ::testing::Values(Backend::kOdbcSqlite, Backend::kOdbcPostgres); }
std::string BackendTestName(const ::testing::TestParamInfo<Backend>& info);

// The test server's connection text; "" when there is none, `why` then
// saying why.
std::string PostgresServerUrl(std::string* why);

// Points the ODBC driver manager at the project's odbcinst.ini unless
// ODBCSYSINI is set already.
void UseProjectOdbcDrivers();

// `url` (a PostgreSQL URI or keyword string) with the search path set to
// `schema`.
std::string WithSearchPath(const std::string& url, const std::string& schema);

// Fresh databases for one test on one engine.
class TestDatabases {
 public:
  // `dir` holds the SQLite files and outlives this object.
  TestDatabases(Backend backend, const TempDir& dir);
  ~TestDatabases();  // drops the PostgreSQL schemas
  TestDatabases(const TestDatabases&) = delete;
  TestDatabases& operator=(const TestDatabases&) = delete;

  Backend backend() const { return backend_; }
  // False when the engine cannot be reached (no PostgreSQL server); why()
  // says why. Tests skip then.
  bool available() const { return available_; }
  const std::string& why() const { return why_; }

  // The connection text of a new empty database; `role` ("report",
  // "source1") names it.
  std::string Create(const std::string& role);

  // For PostgreSQL, the schema behind a connection text from Create().
  std::string SchemaOf(const std::string& connection) const;

 private:
  Backend backend_;
  const TempDir& dir_;
  bool available_ = true;
  std::string why_;
  std::string server_url_;
  std::vector<std::pair<std::string, std::string>> schemas_;  // connection, schema
};

}  // namespace qev::testing
