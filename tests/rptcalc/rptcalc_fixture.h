// What the rptcalc tests share: running the built rptcalc in a temporary
// directory, reading SQLite files through the host's query objects, and
// small text helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/dispatch.h"
#include "tests/rptcalc/run_process.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {

class RptcalcTest : public ::testing::Test {
 protected:
  // rptcalc with `args`, run in the temporary directory with a class
  // registry of its own there.
  ProcessResult Rptcalc(const std::vector<std::string>& args) const {
    return RunProcess(RPTCALC_EXE, args, dir_.path(),
                      {{"QEV_REGISTRY", dir_.File("registry/classes.reg")}});
  }

  // Runs statements on a database file (a connection of its own, closed
  // before this returns, so rptcalc sees a quiet file).
  void Exec(const std::string& file, const std::vector<std::string>& statements) const {
    const Variant q(host::CreateQueryObj(dir_.File(file)));
    for (const auto& s : statements) Call(q, "Exec", Variant(s));
  }
  std::vector<std::vector<Variant>> Rows(const std::string& file, const std::string& sql) const {
    const Variant q(host::CreateQueryObj(dir_.File(file)));
    return QueryRows(q, sql);
  }

  // The names of the files in the temporary directory.
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path()))
      names.insert(std::filesystem::relative(e.path(), dir_.path()).string());
    return names;
  }

  TempDir dir_;
};

// Expects a refused command line: status 2, nothing on standard output and
// exactly one line on standard error that starts with "rptcalc: " and
// contains `words`.
inline void ExpectUsageError(const ProcessResult& r, const std::string& words) {
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.out, "");
  const auto lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_EQ(lines[0].rfind("rptcalc: ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(words), std::string::npos) << lines[0];
}

}  // namespace qev::testing
