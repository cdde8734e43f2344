#include "schema/schema.h"

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

}  // namespace qev::schema
