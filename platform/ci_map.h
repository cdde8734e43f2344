// Case-insensitive names: member names, field names, ProgIDs.
//
// Names here are identifiers, so case folding is ASCII-only; other bytes
// (UTF-8) compare exactly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qev {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);
bool EqualsNoCaseSlow(std::string_view a, std::string_view b);
// Most names are written the same way by caller and callee: an exact
// match is checked first.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return a == b || EqualsNoCaseSlow(a, b);
}

struct CiHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept;
};
struct CiEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    return EqualsNoCase(a, b);
  }
};

// An unordered map keyed by a name without regard to case; lookups take a
// string_view without building a string.
template <typename T>
using CiMap = std::unordered_map<std::string, T, CiHash, CiEqual>;

}  // namespace qev
