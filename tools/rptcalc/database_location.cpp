#include "tools/rptcalc/database_location.h"

#include <filesystem>
#include <system_error>

#include "host/host.h"
#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && qev::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

DatabaseLocation DatabaseLocation::Parse(std::string_view text) {
  if (StartsWithNoCase(text, "postgresql://") || StartsWithNoCase(text, "postgres://"))
    return DatabaseLocation(Engine::kPostgres, std::string(text));
  return DatabaseLocation(Engine::kSqlite, std::string(text));
}

void DatabaseLocation::Check(std::string_view role, bool must_exist) const {
  if (engine_ == Engine::kPostgres)
    throw UsageError(std::string(role) + " " + text_ +
                     ": PostgreSQL databases are not implemented yet (use a SQLite file)");
  if (text_.empty()) throw UsageError(std::string(role) + ": empty database path");
  std::error_code ec;
  const auto status = std::filesystem::status(text_, ec);
  if (std::filesystem::is_directory(status))
    throw UsageError(std::string(role) + " " + text_ + " is a directory, not a database file");
  if (must_exist && !std::filesystem::exists(status))
    throw UsageError(std::string(role) + " " + text_ +
                     " does not exist (create one with: rptcalc schema --db " + text_ + ")");
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

}  // namespace

std::string DatabaseLocation::FindTable(const qev::Variant& query_obj,
                                        std::string_view table) const {
  return SqliteCatalogueEntry(query_obj, table).first;
}

std::string DatabaseLocation::SelectRowsSql(const qev::Variant& query_obj,
                                            std::string_view table,
                                            std::string_view cond) const {
  const auto [name, type] = SqliteCatalogueEntry(query_obj, table);
  if (name.empty()) return "";
  std::string sql = "select * from " + name + " where " + std::string(cond);
  // A table's rowid follows the order of the inserts; a view has none.
  if (type == "table") sql += " order by rowid";
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
