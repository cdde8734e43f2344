#include "schema/schema.h"

#include "platform/dispatch.h"
#include "platform/error.h"
#include "schema/scripts.h"

namespace qev::schema {

std::vector<std::string> ScriptNames() {
  std::vector<std::string> names;
  for (const Script& s : Scripts()) names.emplace_back(s.name);
  return names;
}

std::vector<std::string> Statements(std::string_view script) {
  for (const Script& s : Scripts()) {
    if (s.name != script) continue;
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
  Raise(kErrBadStatement, "no schema script named " + std::string(script), "qev.Schema");
}

void Apply(const Variant& query_obj, std::string_view script) {
  for (const std::string& statement : Statements(script))
    Call(query_obj, "Exec", Variant(statement));
}

}  // namespace qev::schema
