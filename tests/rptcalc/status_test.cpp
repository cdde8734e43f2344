// Exit status 3: a calculation that returns normally after handing errors
// to the utility library's error reporter. No report component that is
// built reports errors that way yet (the daily sheets will), so a stand-in
// for Rpt_Yb_Rbb does what those sheets do: it traps an error in one phase,
// reports it through Func_Mode's RaisError (the library's own path to
// qevRaisError on the process's shared utility object) and returns. The run
// itself goes through the real RunReport, host objects and SQLite file.
#include <gtest/gtest.h>

#include <sstream>

#include "frame/Func_Mode.h"
#include "frame/catalogue.h"
#include "frame/registration.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "tests/support/temp_dir.h"
#include "tools/rptcalc/report_run.h"
#include "tools/rptcalc/reported_errors.h"
#include "tools/rptcalc/status.h"
#include "utility/server.h"

namespace rptcalc {
namespace {

class ReportingSheet final : public qev::Dispatch {
 public:
  explicit ReportingSheet(const qev::frame::ClassSpec& spec) : spec_(spec) {}
  const qev::TypeInfo& type_info() const override { return spec_.type_info; }
  qev::Variant Invoke(const qev::MemberInfo& m, qev::InvokeKind kind,
                      qev::ArgList& args) override {
    if (qev::EqualsNoCase(m.name, "Global_Lib_Obj")) {
      if (kind == qev::kInvokeSet) lib_ = args[0].ToObject();
      return qev::Variant(lib_);
    }
    if (qev::EqualsNoCase(m.name, "CalcuRpt")) {
      for (int phase = 1; phase <= 2; ++phase)
        qev::frame::RaisError(spec_.name, "CalcuPhase" + std::to_string(phase),
                              "Division by zero", 11, qev::Variant(spec_.progid), "", "");
      return {};
    }
    if (m.kinds & qev::kInvokeLet) {
      if (kind == qev::kInvokeLet) props_[m.name] = args[args.size() - 1];
      return props_[m.name];
    }
    return {};
  }

 private:
  const qev::frame::ClassSpec& spec_;
  qev::Object lib_;
  std::map<std::string, qev::Variant> props_;
};

class ReportingSheetFactory final : public qev::ClassFactory {
 public:
  explicit ReportingSheetFactory(const qev::frame::ClassSpec& spec) : spec_(spec) {}
  qev::Object CreateInstance() override { return std::make_shared<ReportingSheet>(spec_); }

 private:
  const qev::frame::ClassSpec& spec_;
};

class ReportedErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qev::frame::RegisterLinkedClasses();
    qev::utility::RegisterLinkedClasses();
    qev::host::CreateFixedTables(qev::host::CreateQueryObj(db_));
  }
  qev::testing::TempDir dir_;
  const std::string db_ = dir_.File("report.db");
};

TEST_F(ReportedErrorsTest, ReportedErrorsGiveStatusThreeAndAreEachPrinted) {
  const auto& spec = *qev::frame::FindClass("Rpt_Yb_Rbb");
  static ReportingSheetFactory factory(spec);
  qev::RegisterLinkedClass({spec.progid, spec.clsid, spec.iid}, &factory);

  RunOptions run;
  run.class_name = "Rpt_Yb_Rbb";
  run.db = db_;
  run.workstation = "WS1";
  run.sets = {"CondStr=1=1"};
  std::ostringstream out, err;
  EXPECT_EQ(RunReport(run, out, err), kExitReportedErrors);
  // The rows are still printed (the sheet's table does not exist here).
  EXPECT_EQ(out.str(), "Workstation WS1\n");
  EXPECT_EQ(err.str(),
            "rptcalc: reported error: Error 11 in Rpt_Yb_Rbb.CalcuPhase1 (source "
            "qevRptCalLib.Rpt_Yb_Rbb): Division by zero\n"
            "rptcalc: reported error: Error 11 in Rpt_Yb_Rbb.CalcuPhase2 (source "
            "qevRptCalLib.Rpt_Yb_Rbb): Division by zero\n");

  // The next run starts with an empty list: without a calculation nothing
  // is reported, but the rows it reads are marked as those of a failed
  // calculation.
  run.no_calc = true;
  std::ostringstream out2, err2;
  EXPECT_EQ(RunReport(run, out2, err2), kExitNotFinished);
  EXPECT_NE(err2.str().find("the last calculation of rpt_Yb_rbb for workstation WS1 failed at "),
            std::string::npos)
      << err2.str();
  EXPECT_NE(err2.str().find("Rpt_Yb_Rbb.CalcuPhase2"), std::string::npos) << err2.str();
  EXPECT_TRUE(ReportedErrors().empty());

  // Restore the real class for any later test in this process.
  qev::frame::RegisterLinkedClasses();
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
