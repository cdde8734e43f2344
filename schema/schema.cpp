#include "schema/schema.h"

#include <cctype>
#include <regex>
#include <set>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "schema/scripts.h"

namespace qev::schema {

std::vector<std::string> ScriptNames() {
  std::set<std::string> names;
  for (const Script& s : Scripts()) names.emplace(s.name);
  return {names.begin(), names.end()};
}

std::vector<std::string> ScriptNames(std::string_view dialect) {
  std::vector<std::string> names;
  for (const Script& s : Scripts())
    if (s.dialect == dialect) names.emplace_back(s.name);
  return names;
}

std::vector<std::string> Statements(std::string_view script, std::string_view dialect) {
  for (const Script& s : Scripts()) {
    if (s.name != script || s.dialect != dialect) continue;
    std::vector<std::string> out;
    std::string current;
    size_t pos = 0;
    const std::string_view text = s.text;
    while (pos < text.size()) {
      size_t eol = text.find('\n', pos);
      if (eol == std::string_view::npos) eol = text.size();
      std::string_view line = text.substr(pos, eol - pos);
      pos = eol + 1;
      const size_t first = line.find_first_not_of(" \t\r");
      if (first == std::string_view::npos || line.substr(first, 2) == "--") continue;
      current.append(line).append("\n");
      const size_t last = line.find_last_not_of(" \t\r");
      if (line[last] == ';') {
        out.push_back(current);
        current.clear();
      }
    }
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) out.push_back(current);
    return out;
  }
  Raise(kErrBadStatement,
        "no schema script named " + std::string(script) + " for " + std::string(dialect),
        "qev.Schema");
}

std::string DialectOf(const Variant& query_obj) {
  const Object& object = query_obj.ToObject();
  if (object && object->type_info().Find("Engine") == nullptr) return std::string(kSqlite);
  return Get(query_obj, "Engine").ToText();
}

void Apply(const Variant& query_obj, std::string_view script) {
  const std::string dialect = DialectOf(query_obj);
  for (const std::string& statement : Statements(script, dialect))
    Call(query_obj, "Exec", Variant(statement));
}

SchemaObject ObjectOf(std::string_view statement) {
  static const std::regex kCreate(
      R"(^\s*create\s+(?:or\s+replace\s+)?(?:unique\s+)?(table|view|index|sequence)\s+)"
      R"((?:if\s+not\s+exists\s+)?([A-Za-z_][A-Za-z0-9_]*)(?:\s+on\s+([A-Za-z_][A-Za-z0-9_]*))?)",
      std::regex::icase);
  std::match_results<std::string_view::const_iterator> m;
  SchemaObject object;
  if (!std::regex_search(statement.begin(), statement.end(), m, kCreate)) return object;
  object.kind = m[1].str();
  for (char& c : object.kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  object.name = m[2].str();
  if (object.kind == "index") object.table = m[3].str();
  return object;
}

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The kind of the object the database has under `name` (a checked
// identifier), or "" when it has none.
std::string ExistingKind(const Variant& query_obj, std::string_view dialect,
                         const std::string& name) {
  const std::string sql =
      dialect == kPostgres
          ? "select case c.relkind when 'r' then 'table' when 'p' then 'table' "
            "when 'v' then 'view' when 'm' then 'materialized view' when 'f' then 'foreign table' "
            "when 'S' then 'sequence' when 'i' then 'index' when 'I' then 'index' "
            "else 'relation' end as kind from pg_catalog.pg_class c "
            "join pg_catalog.pg_namespace n on n.oid = c.relnamespace "
            "where n.nspname = any (current_schemas(false)) and lower(c.relname) = '" +
                Lower(name) + "' order by array_position(current_schemas(false), n.nspname)"
          : "select type as kind from sqlite_master where lower(name) = '" + Lower(name) + "'";
  const Variant rs = Call(query_obj, "OpenRs", Variant(sql));
  std::string kind;
  if (Get(rs, "RecordCount").ToInt32() > 0) kind = Call(rs, "Fields", Variant("kind")).ToText();
  Call(rs, "Close");
  return kind;
}

}  // namespace

std::vector<ObjectOutcome> CreateMissing(const Variant& query_obj,
                                         const std::vector<std::string>& scripts) {
  const std::string dialect = DialectOf(query_obj);
  std::vector<ObjectOutcome> outcomes;
  std::set<std::string> created;  // lower-case names made by this run
  for (const std::string& script : scripts) {
    for (const std::string& statement : Statements(script, dialect)) {
      ObjectOutcome outcome;
      outcome.object = ObjectOf(statement);
      const SchemaObject& object = outcome.object;
      if (object.kind.empty())
        Raise(kErrBadStatement,
              "schema script " + script + " holds a statement that creates no named object: " +
                  statement,
              "qev.Schema");
      outcome.found_kind = ExistingKind(query_obj, dialect, object.name);
      if (!outcome.found_kind.empty()) {
        outcome.what = ObjectOutcome::kFound;
      } else if (object.kind == "index" && !created.count(Lower(object.table))) {
        outcome.what = ObjectOutcome::kSkipped;
      } else {
        try {
          Call(query_obj, "Exec", Variant(statement));
          created.insert(Lower(object.name));
          outcome.what = ObjectOutcome::kCreated;
        } catch (const RuntimeError& e) {
          outcome.what = ObjectOutcome::kFailed;
          outcome.detail = e.description();
        }
      }
      outcomes.push_back(std::move(outcome));
    }
  }
  return outcomes;
}

std::vector<std::string> ReportScriptNames() {
  std::vector<std::string> names = {"fixed_tables"};
  for (const std::string& name : ScriptNames())
    if (name.ends_with("_reports")) names.push_back(name);
  return names;
}

}  // namespace qev::schema
