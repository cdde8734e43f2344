// The engines side by side: a few generated cases of every report agree
// row for row on SQLite and PostgreSQL (more with ./run difftest N), and
// the cases that once told them apart stay fixed.
#include <gtest/gtest.h>

#include "tests/difftest/diff_case.h"
#include "tests/support/report_fixture.h"

namespace qev::testing::diff {
namespace {

constexpr uint64_t kSeedsPerReport = 4;

class EnginesAgree : public ::testing::TestWithParam<std::string> {};

TEST_P(EnginesAgree, OnGeneratedCases) {
  std::string why;
  if (PostgresServerUrl(&why).empty()) GTEST_SKIP() << why;
  for (const ReportEntry& entry : Reports()) {
    if (entry.name != GetParam()) continue;
    for (const std::string& m : RunSeeds(entry, 0, kSeedsPerReport)) ADD_FAILURE() << m;
    return;
  }
  FAIL() << "no report " << GetParam();
}

std::vector<std::string> ReportNames() {
  std::vector<std::string> names;
  for (const ReportEntry& entry : Reports()) names.push_back(entry.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Reports, EnginesAgree, ::testing::ValuesIn(ReportNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace qev::testing::diff
