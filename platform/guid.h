// 128-bit class and interface identifiers, written in the registry form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

extern "C" {
// The identifier as it crosses the libraries' C entry points.
struct qev_guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
}

namespace qev {

struct Guid {
  qev_guid value{};

  // Parses the registry form, braces optional, any letter case.
  static std::optional<Guid> Parse(std::string_view text);
  // Parses or aborts: for identifiers fixed in the source.
  static Guid FromLiteral(std::string_view text);
  // "{8-4-4-4-12}" in upper case.
  std::string ToString() const;

  friend bool operator==(const Guid& a, const Guid& b);
  friend bool operator<(const Guid& a, const Guid& b);
};

}  // namespace qev
