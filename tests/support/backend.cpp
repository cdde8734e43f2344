#include "tests/support/backend.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::testing {

namespace {

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

std::atomic<int> g_serial{0};

}  // namespace

const char* BackendName(Backend backend) {
  switch (backend) {
    case Backend::kSqlite: return "SQLite";
    case Backend::kPostgres: return "PostgreSQL";
    case Backend::kOdbcSqlite: return "OdbcSQLite";
    case Backend::kOdbcPostgres: return "OdbcPostgreSQL";
  }
  return "?";
}

void UseProjectOdbcDrivers() { setenv("ODBCSYSINI", QEV_ODBCSYSINI, /*overwrite=*/0); }

std::string BackendTestName(const ::testing::TestParamInfo<Backend>& info) {
  return BackendName(info.param);
}

std::string PostgresServerUrl(std::string* why) {
  if (const char* url = std::getenv("QEV_PG_URL"); url && *url) return url;
  const char* state = std::getenv("QEV_PG_STATE");
  if (state == nullptr || *state == '\0') {
    *why = "no PostgreSQL server: set QEV_PG_URL, or run the test through ctest, which starts a "
           "throwaway server (tools/pgtest/pgtest)";
    return "";
  }
  const std::string url = ReadFirstLine(std::string(state) + "/url");
  if (!url.empty()) return url;
  const std::string reason = ReadFirstLine(std::string(state) + "/unavailable");
  *why = reason.empty() ? "the throwaway PostgreSQL server of " + std::string(state) +
                              " is not running (see the test pg_server_start)"
                        : "PostgreSQL unavailable: " + reason;
  return "";
}

std::string WithSearchPath(const std::string& url, const std::string& schema) {
  const bool uri = url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
  if (uri)
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema;
  return url + " options='-csearch_path=" + schema + "'";
}

TestDatabases::TestDatabases(Backend backend, const TempDir& dir) : backend_(backend), dir_(dir) {
  if (IsOdbc(backend_)) UseProjectOdbcDrivers();
  if (!IsPostgresDialect(backend_)) return;
  server_url_ = PostgresServerUrl(&why_);
  available_ = !server_url_.empty();
  if (available_ && backend_ == Backend::kOdbcPostgres &&
      OdbcPostgresConnection(server_url_, "").empty()) {
    available_ = false;
    why_ = "the test server's connection text is no postgresql:// URI, which the ODBC tests need";
  }
}

TestDatabases::~TestDatabases() {
  if (schemas_.empty()) return;
  try {
    Variant admin(host::CreateQueryObj(server_url_));
    for (const auto& [connection, schema] : schemas_)
      Call(admin, "Exec", Variant("drop schema if exists " + schema + " cascade"));
  } catch (const RuntimeError&) {
    // The server is throwaway: what is left goes with it.
  }
}

std::string TestDatabases::Create(const std::string& role) {
  if (backend_ == Backend::kSqlite) return dir_.File(role + ".db");
  if (backend_ == Backend::kOdbcSqlite) return "odbc:Driver=SQLite3;Database=" + dir_.File("odbc_" + role + ".db");
  if (!available_) Raise(kErrDatabase, why_, "qev.TestDatabases");
  // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
  std::string name =
      std::string("t").append(std::to_string(getpid())) + "_" + std::to_string(++g_serial) + "_";
  for (char c : role)
    name.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a')
                   : ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) ? c
                                                                         : '_');
  Variant admin(host::CreateQueryObj(server_url_));
  Call(admin, "Exec", Variant("drop schema if exists " + name + " cascade"));
  Call(admin, "Exec", Variant("create schema " + name));
  std::string connection = backend_ == Backend::kOdbcPostgres
                               ? OdbcPostgresConnection(server_url_, name)
                               : WithSearchPath(server_url_, name);
  schemas_.emplace_back(connection, name);
  return connection;
}

std::string TestDatabases::SchemaOf(const std::string& connection) const {
  for (const auto& [c, schema] : schemas_)
    if (c == connection) return schema;
  return "";
}

}  // namespace qev::testing
