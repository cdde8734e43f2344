// A report database and three source databases (separate SQLite files)
// with the goods schema, and the helpers the goods report tests share.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/variant.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {

class GoodsFixture : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  void SetUp() override;

  Variant Query0() const;
  Variant Source(int k) const { return Variant(sources_[k - 1]); }
  void ExecReport(const std::string& sql) const;
  void ExecSource(int k, const std::string& sql) const;
  void SetWorkstation(const std::string& ws) const;

  // A new component of `cls` with the host object and the report table.
  Variant NewReport(const std::string& cls, const std::string& view, const std::string& rpttab,
                    const std::string& cond = "") const;
  // CalcuRpt(SourceNum, sources...) with the given number of query objects.
  void Calcu(const Variant& report, int16_t source_num, int passed) const;

  // The workstation's rows of a report table keyed by nameid (by name, the
  // good id, while the final pass has not run).
  std::map<std::string, std::map<std::string, Variant>> RowsOf(const std::string& rpttab,
                                                               const std::string& ws = "WS1") const;

  TempDir dir_;
  Object host_;
  std::vector<Object> sources_;
};

// The value of a numeric report column, NaN for Null (so that a comparison
// with a number fails).
double Num(const std::map<std::string, Variant>& row, const std::string& column);
bool IsNull(const std::map<std::string, Variant>& row, const std::string& column);

}  // namespace qev::testing
