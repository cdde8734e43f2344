#include "tools/rptcalc/database_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "host/host.h"
#include "platform/dispatch.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

DatabaseLocation DatabaseLocation::Parse(std::string_view text) {
  if (qev::host::IsOdbcConnection(text)) return DatabaseLocation(Engine::kOdbc, std::string(text));
  if (qev::host::IsPostgresConnection(text))
    return DatabaseLocation(Engine::kPostgres, std::string(text));
  return DatabaseLocation(Engine::kSqlite, std::string(text));
}

std::string DatabaseLocation::shown() const {
  return engine_ == Engine::kOdbc ? qev::host::MaskOdbcPassword(text_) : text_;
}

void DatabaseLocation::Check(std::string_view role, bool must_exist) const {
  if (engine_ == Engine::kOdbc) {
    if (text_.find_first_not_of(" \t", text_.find(':') + 1) == std::string::npos)
      throw UsageError(std::string(role) + ": odbc: needs a connection string after it, e.g. "
                       "odbc:DSN=hospital;UID=rpt");
    return;
  }
  if (engine_ == Engine::kPostgres) return;
  if (text_.empty()) throw UsageError(std::string(role) + ": empty database path");
  std::error_code ec;
  const auto status = std::filesystem::status(text_, ec);
  if (std::filesystem::is_directory(status))
    throw UsageError(std::string(role) + " " + text_ + " is a directory, not a database file");
  if (must_exist && !std::filesystem::exists(status))
    throw UsageError(std::string(role) + " " + text_ +
                     " does not exist (create one with: rptcalc schema --db " + text_ + ")");
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    throw UsageError(std::string(role) + " " + text_ +
                     " is not a regular file (a pipe, socket or device cannot hold a database)");
  // SQLite keeps its write-ahead log and shared-memory index beside the
  // file: without a writable directory every write fails later with a
  // misleading "read-only database".
  std::filesystem::path dir = std::filesystem::path(text_).parent_path();
  if (dir.empty()) dir = ".";
  if (std::filesystem::exists(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) != 0)
    throw UsageError(std::string(role) + " " + text_ + ": the directory " + dir.string() +
                     " is not writable, and SQLite keeps the database's journal files there");
}

bool DatabaseLocation::IsSameFile(const std::string& path) const {
  if (engine_ != Engine::kSqlite) return false;
  struct stat a {}, b {};
  return ::stat(path.c_str(), &a) == 0 && ::stat(text_.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool LooksLikeDatabaseFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[16] = {};
  if (!in.read(header, sizeof header)) return false;
  return std::memcmp(header, "SQLite format 3", 16) == 0;
}

qev::Object DatabaseLocation::OpenHostLib(const std::string& computer_name) const {
  return qev::host::CreateHostLib(text_, computer_name);
}

qev::Object DatabaseLocation::OpenQueryObj() const { return qev::host::CreateQueryObj(text_); }

namespace {

// The name and type ("table" or "view") of a table in SQLite's catalogue,
// where names compare without regard to ASCII case as in every statement.
std::pair<std::string, std::string> SqliteCatalogueEntry(const qev::Variant& query_obj,
                                                         std::string_view table) {
  const std::string sql =
      "select name,type from sqlite_master where type in ('table','view') and "
      "lower(name)=lower(" + SqlQuote(table) + ")";
  qev::Variant rs = qev::Call(query_obj, "OpenRs", qev::Variant(sql));
  std::pair<std::string, std::string> found;
  if (qev::Get(rs, "RecordCount").ToInt32() > 0) {
    found.first = qev::Call(rs, "Fields", qev::Variant("name")).ToText();
    found.second = qev::Call(rs, "Fields", qev::Variant("type")).ToText();
  }
  qev::Call(rs, "Close");
  return found;
}

// The same from PostgreSQL's catalogue, for the schemas of the search path
// ("table" or "view").
std::pair<std::string, std::string> PostgresCatalogueEntry(const qev::Variant& query_obj,
                                                           std::string_view table) {
  const std::string sql =
      "select c.relname as name, case when c.relkind in ('v','m') then 'view' else 'table' end "
      "as type from pg_catalog.pg_class c join pg_catalog.pg_namespace n on n.oid = "
      "c.relnamespace where c.relkind in ('r','p','v','m','f') and n.nspname = any "
      "(current_schemas(false)) and lower(c.relname)=lower(" + SqlQuote(table) + ") order by "
      "array_position(current_schemas(false), n.nspname) limit 1";
  qev::Variant rs = qev::Call(query_obj, "OpenRs", qev::Variant(sql));
  std::pair<std::string, std::string> found;
  if (qev::Get(rs, "RecordCount").ToInt32() > 0) {
    found.first = qev::Call(rs, "Fields", qev::Variant("name")).ToText();
    found.second = qev::Call(rs, "Fields", qev::Variant("type")).ToText();
  }
  qev::Call(rs, "Close");
  return found;
}

// The dialect of the server behind the query object: behind ODBC, the
// server the driver reaches.
bool PostgresDialect(const qev::Variant& query_obj) {
  return qev::Get(query_obj, "Engine").ToText() == "postgresql";
}

}  // namespace

std::pair<std::string, std::string> DatabaseLocation::CatalogueEntry(
    const qev::Variant& query_obj, std::string_view table) const {
  const std::string engine = qev::Get(query_obj, "Engine").ToText();
  if (engine == "postgresql") return PostgresCatalogueEntry(query_obj, table);
  if (engine == "sqlite") return SqliteCatalogueEntry(query_obj, table);
  throw UsageError("rptcalc reads the catalogue of PostgreSQL and SQLite only; the ODBC database " +
                   shown() + " is another server");
}

std::string DatabaseLocation::FindTable(const qev::Variant& query_obj,
                                        std::string_view table) const {
  return CatalogueEntry(query_obj, table).first;
}

std::string DatabaseLocation::SelectRowsSql(const qev::Variant& query_obj,
                                            std::string_view table,
                                            std::string_view cond,
                                            std::string_view order) const {
  const auto [name, type] = CatalogueEntry(query_obj, table);
  if (name.empty()) return "";
  std::string sql = "select * from " + name + " where " + std::string(cond);
  if (!order.empty()) return sql + " order by " + std::string(order);
  // A SQLite table's rowid follows the order of the inserts; a PostgreSQL
  // table has only its storage order (ctid); a view has neither.
  if (type == "table") sql += PostgresDialect(query_obj) ? " order by ctid" : " order by rowid";
  return sql;
}

std::string SqlQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace rptcalc
