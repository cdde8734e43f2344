// Tracing proxies: every call recorded in order with its arguments, then
// forwarded; returned objects wrapped with their labels.
#include "host/trace.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

class TraceTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    log_ = std::make_shared<TraceLog>();
    Exec("create table rpt (computer text, name text, qty integer)");
    traced_ = TraceObject(host_.object(), "lib", log_,
                          {{"DbA_Query0_Obj", "report"},
                           {"DbA_Query_Obj", "detail"},
                           {"Global_Para_Obj", "para"},
                           {"OpenRs", "rs"}});
  }

  static std::string Describe(const TraceRecord& r) {
    std::string s = r.object + "." + r.member + "(";
    for (size_t i = 0; i < r.args.size(); ++i) {
      if (i) s += ",";
      s += r.args[i].IsNull() ? "<null>" : r.args[i].IsEmpty() ? "<empty>" : ConcatText(r.args[i]);
    }
    return s + ")";
  }

  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (const auto& r : log_->records()) out.push_back(Describe(r));
    return out;
  }

  void TearDown() override {
    traced_ = Variant();
    HostTest::TearDown();
  }

  std::shared_ptr<TraceLog> log_;
  Variant traced_;
};

INSTANTIATE_TEST_SUITE_P(Backends, TraceTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, TraceTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(TraceTest, RecordsCallsInOrderWithArgumentsAndForwardsThem) {
  Variant q = Get(traced_, "dba_query0_obj");  // any case; recorded by its declared name
  const std::string name = Get(Get(traced_, "Global_Para_Obj"), "ComputerName").ToText();
  Call(q, "InsertRecord", "rpt", "computer,name,qty", Values(name, "a", "1"));
  Variant cond("computer='" + name + "'");
  Variant rs = Call(q, "OpenRs", "select qty from rpt where " + Call(q, "CondAfterStr", ByRef{cond}).ToText());
  const Variant qty = Get(rs, "RecordCount").ToInt32() == 1 ? Call(rs, "", "qty") : Variant();
  Call(rs, "Close");
  Call(Get(q, "DbA_Query_Obj"), "DeleteRecord", "rpt", "name='a'");

  EXPECT_EQ(qty, Variant(int32_t{1}));  // the calls really ran
  EXPECT_EQ(Count("rpt"), 0);
  const std::vector<std::string> expected = {
      "lib.DbA_Query0_Obj()",
      "lib.Global_Para_Obj()",
      "para.ComputerName()",
      "report.InsertRecord(rpt,computer,name,qty," + Values("WS1", "a", "1") + ")",
      "report.CondAfterStr(computer='WS1')",
      "report.OpenRs(select qty from rpt where computer='WS1')",
      "rs.RecordCount()",
      "rs.Fields(qty)",
      "rs.Close()",
      "report.DbA_Query_Obj()",
      "detail.DeleteRecord(rpt,name='a')",
  };
  EXPECT_EQ(Calls(), expected);
}

TEST_P(TraceTest, RecordsAssignmentsAndFailedCalls) {
  Variant para = Get(traced_, "Global_Para_Obj");
  Let(para, "ComputerName", Variant("WS9"));
  EXPECT_EQ(Get(Get(host_, "Global_Para_Obj"), "ComputerName"), Variant("WS9"));
  Variant q = Get(traced_, "DbA_Query0_Obj");
  // The error passes through the proxy unchanged.
  EXPECT_EQ(ExpectRaised(kErrDatabase, [&] { Call(q, "OpenRs", "select * from nosuch"); }).source, source());
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1], "para.ComputerName(WS9)");
  EXPECT_EQ(calls[3], "report.OpenRs(select * from nosuch)");
  // A member the object does not have is refused before the proxy sees it.
  EXPECT_EQ(RaisedBy([&] { Call(q, "NoSuchMember"); }).number, kErrNoMember);
  EXPECT_EQ(log_->size(), 4u);
  log_->clear();
  EXPECT_EQ(log_->size(), 0u);
}

TEST_P(TraceTest, UnlabelledResultsAndRecordValuesAreNotWrapped) {
  // TabFieldValue is not labelled: its value comes back as it is.
  Variant plain = TraceObject(q_.object(), "q", log_);
  Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", "a"));
  EXPECT_EQ(Call(plain, "TabFieldValue", "name", "rpt", "computer='WS1'"), Variant("a"));
  Variant rs = Call(plain, "OpenRs", "select name from rpt");
  EXPECT_EQ(rs.object()->type_info().name(), "_Recordset");
  Call(rs, "Close");
  EXPECT_EQ(log_->size(), 2u);  // the record set's own calls were not traced
  EXPECT_EQ(UntracedObject(plain.object()), q_.object());
  EXPECT_EQ(TraceObject(nullptr, "x", log_), nullptr);
}

TEST_P(TraceTest, LogIsSafeAcrossThreads) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this] {
      Variant para = Get(traced_, "Global_Para_Obj");
      for (int i = 0; i < 250; ++i) Get(para, "ComputerName");
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(log_->size(), 4u * (1 + 250));
}

}  // namespace
}  // namespace qev::host::testing
