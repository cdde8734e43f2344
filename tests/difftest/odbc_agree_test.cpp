// Every report through each ODBC driver against its own engine natively, on
// the same generated case: the SQLite ODBC driver against SQLite, psqlODBC
// against libpq. Every row the report writes must be the same, numbers to
// the last bit. (The SQLite ODBC driver carries every real as text of 15
// significant digits, whatever C type is asked for: the digits every engine
// hands out.)
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/difftest/diff_case.h"

namespace qev::testing::diff {
namespace {

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
        const Outcome a = diff::Run(c, native), b = diff::Run(c, odbc);
        const std::string diff = Compare(a, b, BackendName(native), BackendName(odbc));
        EXPECT_EQ(diff, "") << entry.name << " case " << n;
      }
    }
    return;
  }
  FAIL() << "no report " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Reports, OdbcAgrees, ::testing::ValuesIn(ReportNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace qev::testing::diff
