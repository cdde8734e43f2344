#include "host/row_order.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/ci_map.h"

namespace qev::host {

namespace {

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Where the quoted text or comment that starts at `pos` ends; `pos` itself
// when none starts there. Covers both dialects: '...', "...", `...`,
// [...], $tag$...$tag$, -- and /* */ comments.
size_t SkipQuotedOrComment(std::string_view sql, size_t pos) {
  const char c = sql[pos];
  auto to = [&](std::string_view close, size_t from) {
    const size_t end = sql.find(close, from);
    return end == std::string_view::npos ? sql.size() : end + close.size();
  };
  switch (c) {
    case '\'':
    case '"':
    case '`': {
      size_t p = pos + 1;
      while (p < sql.size()) {
        if (sql[p] == c) {
          if (p + 1 < sql.size() && sql[p + 1] == c) {
            p += 2;  // a doubled quote
            continue;
          }
          return p + 1;
        }
        ++p;
      }
      return sql.size();
    }
    case '[': return to("]", pos + 1);
    case '-': return pos + 1 < sql.size() && sql[pos + 1] == '-' ? to("\n", pos + 2) : pos;
    case '/': return pos + 1 < sql.size() && sql[pos + 1] == '*' ? to("*/", pos + 2) : pos;
    case '$': {
      if (pos > 0 && IsWordChar(sql[pos - 1])) return pos;  // a name such as a$b
      size_t p = pos + 1;
      while (p < sql.size() && IsWordChar(sql[p]) && sql[p] != '$') ++p;
      if (p >= sql.size() || sql[p] != '$') return pos;  // $1, a parameter
      if (p > pos + 1 && sql[pos + 1] >= '0' && sql[pos + 1] <= '9') return pos;
      return to(sql.substr(pos, p - pos + 1), p + 1);
    }
    default: return pos;
  }
}

int Rank(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return 0;
  if (v.type() == VarType::kDate) return 2;
  if (v.IsNumeric()) return 1;
  if (v.IsString()) return 3;
  return 4;
}

int CompareValues(const Variant& a, const Variant& b) {
  const int ra = Rank(a), rb = Rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 1: {
      const double x = a.ToDouble(), y = b.ToDouble();
      return x < y ? -1 : (y < x ? 1 : 0);
    }
    case 2: {
      const double x = a.ToDate().serial, y = b.ToDate().serial;
      return x < y ? -1 : (y < x ? 1 : 0);
    }
    case 3: {
      const int c = a.string().compare(b.string());  // bytes, as unsigned char
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default: return 0;
  }
}

}  // namespace

bool HasTopLevelOrderBy(std::string_view sql) {
  int depth = 0;
  bool after_order = false;  // the last word at depth 0 was "order"
  size_t pos = 0;
  while (pos < sql.size()) {
    const size_t skipped = SkipQuotedOrComment(sql, pos);
    if (skipped != pos) {
      pos = skipped;
      continue;
    }
    const char c = sql[pos];
    if (c == '(') {
      ++depth;
      after_order = false;
    } else if (c == ')') {
      if (depth > 0) --depth;
      after_order = false;
    } else if (IsWordChar(c)) {
      size_t end = pos;
      while (end < sql.size() && IsWordChar(sql[end])) ++end;
      const std::string_view word = sql.substr(pos, end - pos);
      if (depth == 0) {
        if (after_order && EqualsNoCase(word, "by")) return true;
        after_order = EqualsNoCase(word, "order");
      }
      pos = end;
      continue;
    } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      after_order = false;
    }
    ++pos;
  }
  return false;
}

void SortRowsByValue(ResultTable* table) {
  const size_t columns = table->column_count();
  if (columns == 0 || table->row_count < 2) return;
  std::vector<size_t> order(table->row_count);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    for (size_t c = 0; c < columns; ++c) {
      const int cmp = CompareValues(table->at(a, c), table->at(b, c));
      if (cmp != 0) return cmp < 0;
    }
    return false;
  });
  bool sorted = true;
  for (size_t i = 0; i < order.size() && sorted; ++i) sorted = order[i] == i;
  if (sorted) return;
  std::vector<Variant> cells;
  cells.reserve(table->cells.size());
  for (size_t row : order)
    for (size_t c = 0; c < columns; ++c) cells.push_back(std::move(table->cells[row * columns + c]));
  table->cells = std::move(cells);
}

}  // namespace qev::host
