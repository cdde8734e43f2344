#include "platform/guid.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qev {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  uint8_t bytes[16];
  size_t b = 0;
  for (size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[b++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  Guid g;
  g.value.data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                  (uint32_t{bytes[2]} << 8) | bytes[3];
  g.value.data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.value.data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(g.value.data4, bytes + 8, 8);
  return g;
}

Guid Guid::FromLiteral(std::string_view text) {
  auto g = Parse(text);
  if (!g) {
    std::fprintf(stderr, "malformed identifier literal: %.*s\n", static_cast<int>(text.size()),
                 text.data());
    std::abort();
  }
  return *g;
}

std::string Guid::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                value.data1, value.data2, value.data3, value.data4[0], value.data4[1],
                value.data4[2], value.data4[3], value.data4[4], value.data4[5], value.data4[6],
                value.data4[7]);
  return buf;
}

bool operator==(const Guid& a, const Guid& b) {
  return std::memcmp(&a.value, &b.value, sizeof(qev_guid)) == 0;
}

bool operator<(const Guid& a, const Guid& b) {
  return std::memcmp(&a.value, &b.value, sizeof(qev_guid)) < 0;
}

}  // namespace qev
