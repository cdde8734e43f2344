#include "tests/difftest/diff_case.h"

#include <algorithm>
#include <charconv>

#include "frame/CreateActiveXObj.h"
#include "frame/registration.h"
#include "host/host.h"
#include "platform/ci_map.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "schema/schema.h"
#include "tests/support/temp_dir.h"
#include "utility/server.h"

namespace qev::testing::diff {

namespace {

void ReplaceAll(std::string* text, std::string_view from, std::string_view to) {
  for (size_t pos = 0; (pos = text->find(from, pos)) != std::string::npos; pos += to.size())
    text->replace(pos, from.size(), to);
}

// A value as compared: its kind and its text; numbers in their shortest
// exact form, so that a difference in the last bit shows.
std::string Cell(const Variant& v) {
  if (v.IsNull()) return "<null>";
  if (v.IsNumeric()) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v.ToDouble());
    return "N:" + std::string(buf, res.ptr);
  }
  return "T:" + ConcatText(v);
}

// The workstation's rows of `table`, each as "column=value;..." with the
// columns sorted by name, the rows sorted.
std::vector<std::string> TableRows(const Variant& q0, const std::string& table) {
  Variant rs = Call(q0, "OpenRs", Variant("select * from " + table + " where computer='WS1'"));
  const int n = Get(rs, "RecordCount").ToInt32();
  const int fields = Get(rs, "FieldCount").ToInt32();
  std::vector<std::string> names;
  for (int f = 0; f < fields; ++f)
    names.push_back(ToLowerAscii(Call(rs, "FieldName", Variant(static_cast<int16_t>(f))).ToText()));
  std::vector<std::string> rows;
  for (int i = 0; i < n; ++i) {
    std::map<std::string, std::string> row;
    for (int f = 0; f < fields; ++f)
      row[names[static_cast<size_t>(f)]] = Cell(Call(rs, "Fields", Variant(static_cast<int16_t>(f))));
    std::string line;
    for (const auto& [name, value] : row) line += name + "=" + value + ";";
    rows.push_back(std::move(line));
    Call(rs, "MoveNext");
  }
  Call(rs, "Close");
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace

std::string Expand(const std::string& ddl, Backend backend) {
  const bool pg = IsPostgresDialect(backend);
  std::string out = ddl;
  ReplaceAll(&out, "{num}", pg ? "numeric" : "real");
  ReplaceAll(&out, "{ts}", pg ? "timestamp" : "datetime");
  ReplaceAll(&out, "{id}", pg ? "bigint primary key" : "integer primary key");
  ReplaceAll(&out, "{day}", pg ? "cast(iDate as date)" : "date(iDate)");
  return out;
}

Outcome Run(const Case& c, Backend backend) {
  static const bool registered = [] {
    frame::RegisterLinkedClasses();
    utility::RegisterLinkedClasses();
    return true;
  }();
  (void)registered;
  Outcome out;
  TempDir files;  // the SQLite files of this run
  TestDatabases dbs(backend, files);
  if (!dbs.available()) Raise(kErrDatabase, dbs.why(), "qev.DiffTest");
  Object host = host::CreateHostLib(dbs.Create("report"), "WS1");
  const Variant q0 = Get(Variant(host), "DbA_Query0_Obj");
  host::CreateFixedTables(q0.object());
  for (const std::string& script : c.report_scripts) schema::Apply(q0, script);
  for (const std::string& sql : c.report_rows) Call(q0, "Exec", Variant(sql));
  std::vector<Variant> sources;
  for (size_t k = 0; k < c.sources.size(); ++k) {
    sources.emplace_back(host::CreateQueryObj(dbs.Create("source" + std::to_string(k + 1))));
    for (const std::string& script : c.source_scripts) schema::Apply(sources.back(), script);
    for (const std::string& ddl : c.source_ddl)
      Call(sources.back(), "Exec", Variant(Expand(ddl, backend)));
    for (const std::string& sql : c.sources[k]) Call(sources.back(), "Exec", Variant(sql));
  }

  Variant report(CreateObject("qevRptCalLib." + c.report));
  Set(report, "Global_Lib_Obj", host);
  for (const auto& [name, value] : c.props) Let(report, name, value);
  auto call = [&](const std::string& method, int passed) {
    ArgList args;
    if (passed < 0) return Invoke(report, method, kInvokeMethod, args);
    args.Value(Variant(c.source_num));
    for (int k = 1; k <= passed; ++k) args.Value(sources.at(static_cast<size_t>(k - 1)));
    return Invoke(report, method, kInvokeMethod, args);
  };
  const Variant errors = frame::GetActiveXObj();
  Call(errors, "ClearErrors");
  std::string step = "CalcuRpt";
  try {
    call("CalcuRpt", c.passed);
    for (const std::string& method : c.calls_after) {
      step = method;
      out.results.push_back(method + " = " + Cell(call(method, 1)));
    }
  } catch (const RuntimeError& e) {
    // Both engines must fail alike: the same member, the same number.
    out.error = step + " raised " + std::to_string(e.number());
  }
  for (int32_t i = 0, n = Get(errors, "ErrorCount").ToInt32(); i < n; ++i) {
    const std::string line = Call(errors, "ErrorText", Variant(i)).ToText();
    out.results.push_back(line.substr(0, line.find(" (source ")));  // the texts differ by engine
  }
  for (const std::string& table : c.tables) out.tables[table] = TableRows(q0, table);
  report = Variant();
  sources.clear();
  host.reset();
  return out;
}

std::string Compare(const Outcome& a, const Outcome& b, const std::string& first,
                    const std::string& second) {
  std::string diff;
  if (a.error != b.error)
    diff += "error: " + first + " '" + a.error + "', " + second + " '" + b.error + "'\n";
  if (a.results != b.results) {
    for (size_t i = 0; i < std::max(a.results.size(), b.results.size()); ++i)
      diff += "result: " + first + " '" + (i < a.results.size() ? a.results[i] : "") + "', " +
              second + " '" + (i < b.results.size() ? b.results[i] : "") + "'\n";
  }
  // "SQLite only:     ", "PostgreSQL only: ": the rows lined up.
  const size_t width = std::max(first.size(), second.size()) + 7;
  auto only = [&](const std::string& side) {
    return "  " + (side + " only:").append(width - side.size() - 6, ' ');
  };
  for (const auto& [table, rows] : a.tables) {
    const std::vector<std::string>& other = b.tables.at(table);
    if (rows == other) continue;
    diff += table + ": " + std::to_string(rows.size()) + " rows on " + first + ", " +
            std::to_string(other.size()) + " on " + second + "\n";
    std::vector<std::string> only_a, only_b;
    std::set_difference(rows.begin(), rows.end(), other.begin(), other.end(),
                        std::back_inserter(only_a));
    std::set_difference(other.begin(), other.end(), rows.begin(), rows.end(),
                        std::back_inserter(only_b));
    for (size_t i = 0; i < std::min<size_t>(3, only_a.size()); ++i)
      diff += only(first) + only_a[i] + "\n";
    for (size_t i = 0; i < std::min<size_t>(3, only_b.size()); ++i)
      diff += only(second) + only_b[i] + "\n";
  }
  return diff;
}

std::vector<std::string> ReportNames() {
  std::vector<std::string> names;
  for (const ReportEntry& entry : Reports()) names.push_back(entry.name);
  return names;
}

uint64_t SeedOf(const std::string& report, uint64_t n) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a of the name, then the case number
  for (unsigned char ch : report) h = (h ^ ch) * 1099511628211ull;
  return h ^ (n * 0x9E3779B97F4A7C15ull);
}

std::vector<std::string> RunSeeds(const ReportEntry& entry, uint64_t first, uint64_t count) {
  std::vector<std::string> mismatches;
  for (uint64_t n = first; n < first + count; ++n) {
    Gen gen(SeedOf(entry.name, n));
    const Case c = entry.generate(gen);
    const Outcome sqlite = Run(c, Backend::kSqlite);
    const Outcome postgres = Run(c, Backend::kPostgres);
    const std::string diff = Compare(sqlite, postgres);
    if (!diff.empty())
      mismatches.push_back(std::string(entry.name) + " case " + std::to_string(n) + ":\n" + diff);
  }
  return mismatches;
}

}  // namespace qev::testing::diff
