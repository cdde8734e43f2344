// Exit status 3: a calculation that returns normally after handing errors
// to the utility library's error reporter. The cashier's sheet traps the
// errors of each phase that way; run on a report database that has the
// sheet's tables but none of its source tables, every phase that reads a
// source fails and is reported, and the finishing step completes. The run
// goes through the real RunReport, host objects and SQLite file.
#include "tools/rptcalc/status.h"

#include <gtest/gtest.h>

#include <sstream>

#include "frame/Func_Mode.h"
#include "frame/registration.h"
#include "host/host.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"
#include "tools/rptcalc/report_run.h"
#include "tools/rptcalc/reported_errors.h"
#include "utility/server.h"

namespace rptcalc {
namespace {

class ReportedErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qev::frame::RegisterLinkedClasses();
    qev::utility::RegisterLinkedClasses();
    ClearReportedErrors();
    const qev::Object q = qev::host::CreateQueryObj(db_);
    qev::host::CreateFixedTables(q);
    qev::schema::Apply(qev::Variant(q), "cashier_reports");
  }
  RunOptions Sheet() const {
    RunOptions run;
    run.class_name = "Rpt_Tol_Rbb";
    run.db = db_;
    run.workstation = "WS1";
    run.sets = {"JzrDay=2024-03-15"};
    return run;
  }
  qev::testing::TempDir dir_;
  const std::string db_ = dir_.File("report.db");
};

std::string Reported(const std::string& proc, const std::string& table) {
  return "rptcalc: reported error: Error 32002 in Rpt_Tol_Rbb." + proc +
         " (source qev.SqliteHost): no such table: " + table;
}

TEST_F(ReportedErrorsTest, ReportedErrorsGiveStatusThreeAndAreEachPrinted) {
  std::ostringstream out, err;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunReport(Sheet(), out, err), kExitReportedErrors);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // each printed once, below
  // The sheet is printed: its summary row, without RptTab.
  EXPECT_NE(out.str().find("rpt_Tol_rbb: 1 row\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("rpt_Tol_Rbb_Infod: 0 rows\n"), std::string::npos);
  const std::vector<std::string> lines = qev::testing::Lines(err.str());
  ASSERT_EQ(lines.size(), 3u) << err.str();
  EXPECT_EQ(lines[0].rfind(Reported("CalcuValueQty", "qev_Mem_InAmt_V"), 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind(Reported("CalcuValueDetail", "qev_Mem_InAmt"), 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind(Reported("CalcuValueType", "qev_Mem_InAmt_V"), 0), 0u) << lines[2];

  // The next run starts with an empty list: without a calculation nothing
  // is reported, but the rows it reads are marked as those of a failed
  // calculation.
  RunOptions read = Sheet();
  read.no_calc = true;
  std::ostringstream out1, err1;
  EXPECT_EQ(RunReport(read, out1, err1), kExitNotFinished);
  EXPECT_NE(err1.str().find("the last calculation of rpt_Tol_rbb for workstation WS1 failed at "),
            std::string::npos)
      << err1.str();
  EXPECT_NE(err1.str().find("Rpt_Tol_Rbb.CalcuValueType"), std::string::npos) << err1.str();
  // RptInit leaves the empty sheet.
  RunOptions init = Sheet();
  init.init = true;
  std::ostringstream out2, err2;
  EXPECT_EQ(RunReport(init, out2, err2), kExitDone);
  EXPECT_EQ(err2.str(), "");
  EXPECT_NE(out2.str().find("rpt_Tol_rbb: 1 row\n"), std::string::npos) << out2.str();
  EXPECT_TRUE(ReportedErrors().empty());
}

TEST_F(ReportedErrorsTest, ErrorsReportedBeforeAComponentErrorArePrintedToo) {
  qev::Call(qev::Variant(qev::host::CreateQueryObj(db_)), "Exec",
            qev::Variant("drop table rpt_rbbd"));
  // CalcuRpt reports its failing delete and returns; RptInit raises it.
  RunOptions run = Sheet();
  run.calls = {"RptInit"};
  std::ostringstream out, err;
  EXPECT_EQ(RunReport(run, out, err), kExitComponentError);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str().rfind(Reported("CalcuRpt", "rpt_rbbd"), 0), 0u) << err.str();
  EXPECT_NE(err.str().find("\nrptcalc: error 32002, qev.SqliteHost, no such table: rpt_rbbd"),
            std::string::npos)
      << err.str();
}

TEST_F(ReportedErrorsTest, ErrorsReportedBeforeTheRunDoNotCount) {
  qev::frame::RaisError("Rpt_Tol_Rbb", "Earlier", "left over", 5, qev::Variant(""), "", "");
  ASSERT_EQ(ReportedErrors().size(), 1u);
  RunOptions run;
  run.class_name = "Rpt_Tol_Good";
  run.db = db_;
  run.workstation = "WS1";
  run.no_calc = true;
  std::ostringstream out, err;
  EXPECT_EQ(RunReport(run, out, err), kExitDone);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace rptcalc
