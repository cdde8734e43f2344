// Every report through each ODBC driver against its own engine natively, on
// the same generated case: the SQLite ODBC driver against SQLite, psqlODBC
// against libpq. Every row the report writes must be the same, numbers to
// the last bit through psqlODBC.
//
// The SQLite ODBC driver carries every real as SQLite's text of it, 15
// significant digits, and converts that text to any C type asked for
// (SQL_C_DOUBLE too: 1.0/3 comes back as 0.333333333333333), so no engine
// reads more. Sums are exact on both (the driver loads the host's exact
// sums), but a figure a report works out from computed reals (a product
// read back, then added up) may differ in its 15th digit: through that
// driver numbers are compared at 13 significant digits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "tests/difftest/diff_case.h"

namespace qev::testing::diff {
namespace {

// `text` with every number ("N:...") at 13 significant digits.
std::string AtThirteenDigits(std::string text) {
  for (size_t pos = 0; (pos = text.find("N:", pos)) != std::string::npos;) {
    pos += 2;
    const size_t end = std::min(text.find(';', pos), text.size());
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.13g", std::strtod(text.c_str() + pos, nullptr));
    text.replace(pos, end - pos, buf);
  }
  return text;
}

Outcome AtThirteenDigits(Outcome o) {
  for (std::string& r : o.results) r = AtThirteenDigits(r);
  for (auto& [table, rows] : o.tables) {
    for (std::string& row : rows) row = AtThirteenDigits(row);
    std::sort(rows.begin(), rows.end());
  }
  return o;
}

class OdbcAgrees : public ::testing::TestWithParam<std::string> {};

TEST_P(OdbcAgrees, WithTheNativeEngine) {
  std::string why;
  if (PostgresServerUrl(&why).empty()) GTEST_SKIP() << why;
  for (const ReportEntry& entry : Reports()) {
    if (entry.name != GetParam()) continue;
    for (uint64_t n = 0; n < 2; ++n) {
      Gen gen(SeedOf(entry.name, n));
      const Case c = entry.generate(gen);
      for (const auto& [native, odbc] : {std::pair{Backend::kSqlite, Backend::kOdbcSqlite},
                                         std::pair{Backend::kPostgres, Backend::kOdbcPostgres}}) {
        Outcome a = diff::Run(c, native), b = diff::Run(c, odbc);
        if (odbc == Backend::kOdbcSqlite) a = AtThirteenDigits(a), b = AtThirteenDigits(b);
        const std::string diff = Compare(a, b, BackendName(native), BackendName(odbc));
        EXPECT_EQ(diff, "") << entry.name << " case " << n;
      }
    }
    return;
  }
  FAIL() << "no report " << GetParam();
}

std::vector<std::string> ReportNames() {
  std::vector<std::string> names;
  for (const ReportEntry& entry : Reports()) names.push_back(entry.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Reports, OdbcAgrees, ::testing::ValuesIn(ReportNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace qev::testing::diff
