#include "tests/support/late_bound.h"

#include <sstream>

#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::testing {

namespace {

template <typename RowFn>
void ForEachResultRow(const Variant& query_obj, const std::string& sql, RowFn fn) {
  Variant rs = Call(query_obj, "OpenRs", Variant(sql));
  const int n = Get(rs, "RecordCount").ToInt32();
  const int fields = Get(rs, "FieldCount").ToInt32();
  std::vector<std::string> names;
  for (int f = 0; f < fields; ++f)
    names.push_back(ToLowerAscii(Call(rs, "FieldName", Variant(static_cast<int16_t>(f))).ToText()));
  for (int i = 0; i < n; ++i) {
    std::vector<Variant> row;
    for (int f = 0; f < fields; ++f)
      row.push_back(Call(rs, "Fields", Variant(static_cast<int16_t>(f))));
    fn(names, row);
    Call(rs, "MoveNext");
  }
  Call(rs, "Close");
}

}  // namespace

std::vector<std::vector<Variant>> QueryRows(const Variant& query_obj, const std::string& sql) {
  std::vector<std::vector<Variant>> out;
  ForEachResultRow(query_obj, sql,
                   [&](const std::vector<std::string>&, std::vector<Variant>& row) {
                     out.push_back(std::move(row));
                   });
  return out;
}

std::vector<std::string> QueryText(const Variant& query_obj, const std::string& sql) {
  std::vector<std::string> out;
  for (const auto& row : QueryRows(query_obj, sql)) {
    std::string line;
    for (size_t f = 0; f < row.size(); ++f) {
      if (f) line += '|';
      line += row[f].IsNull() ? std::string("<null>") : row[f].ToText();
    }
    out.push_back(line);
  }
  return out;
}

std::map<std::string, std::map<std::string, Variant>> QueryByKey(const Variant& query_obj,
                                                                 const std::string& sql) {
  std::map<std::string, std::map<std::string, Variant>> out;
  ForEachResultRow(query_obj, sql,
                   [&](const std::vector<std::string>& names, std::vector<Variant>& row) {
                     auto& entry = out[row[0].IsNull() ? "<null>" : row[0].ToText()];
                     for (size_t f = 0; f < row.size(); ++f) entry[names[f]] = row[f];
                   });
  return out;
}

CaughtError ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return CaughtError{e.number(), e.source(), e.description()};
  }
  return CaughtError{};
}

int ErrorNumberOf(const std::function<void()>& f) { return ErrorOf(f).number; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

}  // namespace qev::testing
