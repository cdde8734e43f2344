#include "frame/sql_quote.h"

#include "platform/error.h"

namespace qev::frame {

std::string Quote(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

namespace {

// One part of a name: a letter, '_' or a byte of a multi-byte UTF-8
// character first, then any of those or digits.
bool IsNamePart(std::string_view part) {
  if (part.empty()) return false;
  auto name_char = [](unsigned char c, bool first) {
    if (c >= 0x80) return true;  // CJK table names are names
    if (c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return !first && c >= '0' && c <= '9';
  };
  for (size_t i = 0; i < part.size(); ++i)
    if (!name_char(static_cast<unsigned char>(part[i]), i == 0)) return false;
  return true;
}

}  // namespace

bool IsTableName(std::string_view name) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos) return IsNamePart(name);
  return IsNamePart(name.substr(0, dot)) && IsNamePart(name.substr(dot + 1));
}

void CheckTableName(std::string_view property, std::string_view name, std::string_view source) {
  if (IsTableName(name)) return;
  Raise(kErrBadStatement,
        std::string(property) + " '" + std::string(name) +
            "' is not a table or view name (letters, digits and _, with at most one schema "
            "prefix)",
        std::string(source));
}

void CheckFieldName(std::string_view property, std::string_view name, std::string_view source) {
  if (IsTableName(name)) return;
  Raise(kErrBadStatement,
        std::string(property) + " '" + std::string(name) +
            "' is not a column name (letters, digits and _, with at most one table prefix)",
        std::string(source));
}

}  // namespace qev::frame
