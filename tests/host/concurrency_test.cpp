// Several connections, threads and processes writing into one database,
// on each engine.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

class ConcurrencyTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    CreateFixedTables(q_.object());
    Exec("create table rows (computer text, n integer, sn integer)");
  }

  std::set<int64_t> AllSn() {
    std::set<int64_t> out;
    Variant rs = Open("select sn from rows");
    for (int i = 0, n = Get(rs, "RecordCount").ToInt32(); i < n; ++i) {
      out.insert(static_cast<int64_t>(Call(rs, "Fields", "sn").ToDouble()));
      Call(rs, "MoveNext");
    }
    return out;
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrencyTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, ConcurrencyTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

// What one workstation does: take a serial number and write a row with it,
// `count` times, through its own connection.
void Workstation(const std::string& path, const std::string& name, int count) {
  Variant q = CreateQueryObj(path);
  for (int i = 0; i < count; ++i) {
    const std::string sn = Call(q, "SnValue", "TempID").ToText();
    Call(q, "InsertRecord", "rows", "computer,n,sn", Values(name, std::to_string(i), sn));
  }
}

using SqliteFileTest = SqliteHostTest;

TEST_F(SqliteFileTest, FilesAreOpenedInWalModeWithNormalSync) {
  EXPECT_EQ(Scalar("PRAGMA journal_mode"), Variant("wal"));
  EXPECT_EQ(Scalar("PRAGMA synchronous"), Variant(int32_t{1}));  // NORMAL
  EXPECT_GE(Scalar("PRAGMA busy_timeout").ToInt32(), 10000);
  Variant other = CreateQueryObj(db_path_);
  Variant rs = Call(other, "OpenRs", "PRAGMA journal_mode");
  EXPECT_EQ(Call(rs, "Fields", int16_t{0}), Variant("wal"));
  EXPECT_TRUE(std::filesystem::exists(db_path_ + "-wal"));
}

TEST_P(ConcurrencyTest, ThreadsWritingAtOnceAllSucceed) {
  std::vector<std::thread> threads;
  std::vector<std::string> failures(4);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      try {
        // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
        Workstation(db_path_, std::string("T").append(std::to_string(t)), 100);
      } catch (const RuntimeError& e) {
        failures[t] = e.error().ToString();
      }
    });
  for (auto& th : threads) th.join();
  for (const auto& f : failures) EXPECT_EQ(f, "");
  EXPECT_EQ(Count("rows"), 400);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(Count("rows", "computer='T" + std::to_string(t) + "'"), 100);
  EXPECT_EQ(AllSn().size(), 400u);
}

TEST_P(ConcurrencyTest, TwoProcessesWritingAtOnceBothSucceed) {
  constexpr int kRows = 300;
  std::vector<pid_t> children;
  for (const char* name : {"P1", "P2"}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int code = 0;
      try {
        Workstation(db_path_, name, kRows);
      } catch (...) {
        code = 1;
      }
      _exit(code);
    }
    children.push_back(pid);
  }
  // The parent writes at the same time.
  Workstation(db_path_, "P0", kRows);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  for (const char* name : {"P0", "P1", "P2"})
    EXPECT_EQ(Count("rows", std::string("computer='") + name + "'"), kRows) << name;
  const auto sn = AllSn();
  EXPECT_EQ(sn.size(), 3u * kRows);  // no serial number was handed out twice
  EXPECT_EQ(*sn.rbegin(), 3 * kRows);
}

}  // namespace
}  // namespace qev::host::testing
