// A database error at every host call of every built report, on both
// engines: for each call k of a clean run, the run with call k failing must
// hand exactly that error to the caller (or, for a report that traps its
// errors per phase, to the utility library's error reporter), keep the
// report's properties, and a clean run after it must give exactly the rows
// of a run alone.
//
// A report joins with one line in kCases.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/CreateActiveXObj.h"
#include "host/fault.h"
#include "platform/class_factory.h"
#include "schema/schema.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {
namespace {

constexpr const char* kMonth = "iDate>={d '2024-03-01'} and iDate<{d '2024-04-01'}";

struct FaultCase {
  const char* cls;
  std::vector<std::pair<std::string, std::string>> props;
  // The tables whose rows of WS1 a run leaves, as "table" or, to leave out
  // a serial that differs from run to run, "table:column,column".
  std::vector<std::string> tables;
  const char* method = "CalcuRpt";
  int passed = 2;       // sources handed in (SourceNum the same); -1: no arguments
  bool traps = false;   // traps per phase into the error reporter and returns
  const char* changes = "";  // a property the calculation leaves changed by design
};

std::vector<std::pair<std::string, std::string>> View(const char* view, const char* rpttab,
                                                      std::vector<std::pair<std::string, std::string>> more = {}) {
  std::vector<std::pair<std::string, std::string>> p = {
      {"SourceViewName", view}, {"RptTab", rpttab}, {"CondStr", kMonth}, {"RptDesc", ValueListOf({"期间", "2024-03"})}};
  for (auto& [name, value] : more) {
    auto same = std::find_if(p.begin(), p.end(), [&](const auto& e) { return e.first == name; });
    if (same != p.end()) same->second = value;
    else p.emplace_back(name, value);
  }
  return p;
}

const std::vector<FaultCase> kCases = {
    {"Rpt_Tol_Good", View("rpt_fy_v", "rpt_tol_good"), {"rpt_tol_good"}},
    {"Rpt_Fy_Good", View("rpt_fy_v", "rpt_fy_good"), {"rpt_fy_good"}},
    {"Rpt_Zy_Good", View("rpt_zyqd_v", "rpt_zy_good"), {"rpt_zy_good"}},
    {"Rpt_KcCk", View("rpt_kcck_v", "rpt_kcck"), {"rpt_kcck"}},
    {"Rpt_KcRk", View("rpt_kcrk_v", "rpt_kcrk"), {"rpt_kcrk"}},
    {"Rpt_Kc_Count", View("rpt_kc_count_v", "rpt_kc_count"), {"rpt_kc_count"}},
    {"Rpt_Kc_Zz",
     View("rpt_kc_zz_v", "rpt_kc_zz", {{"RptDetailTab", "rpt_kc_zz_detail"},
                                       {"CondStr", std::string(kMonth) + " and GoodID='1001'"}}),
     {"rpt_kc_zz", "rpt_kc_zz_detail:computer,goodid,YfCkID,Type,FromID,iDate,RkQty,CkQty,EndQty,Sn,"
                   "YfCkName,UnitName,TypeName"}, "CalcuRpt", 2, false, "CondStr"}, // holds the scratch condition
    {"Rpt_Tol_Type",
     View("rpt_mz_fee_v", "rpt_tol_type", {{"ObjField", "DepaID"}, {"TypeField", "fpxmid"}, {"QtyIndex", "1"}}),
     {"rpt_tol_type"}},
    {"Rpt_Tol_TypeDx", View("rpt_mz_fee_v", "rpt_tol_typedx", {{"TypeField", "fpxmid"}, {"QtyIndex", "1"}}),
     {"rpt_tol_typedx"}},
    {"Rpt_Tol_TypeDx", View("rpt_mz_fee_v", "rpt_tol_typedx", {{"TypeField", "fpxmid"}, {"QtyIndex", "1"}}),
     {}, "GetAllQty", 1},
    {"Rpt_Zy_Type", View("rpt_zyqd_v", "rpt_zy_type", {{"ObjField", "DepaID"}, {"TypeField", "fpxmid"}}),
     {"rpt_zy_type"}},
    {"Rpt_Zy_TypeDx", View("rpt_zyjz_v", "rpt_zy_typedx", {{"TypeField", "fpxmid"}}), {"rpt_zy_typedx"}},
    {"Rpt_Zy_TypeDx", View("rpt_zyjz_v", "rpt_zy_typedx", {{"TypeField", "fpxmid"}}), {}, "GetAllQty"},
    {"Rpt_KcRk_Price",
     View("rpt_kcrk_price_v", "rpt_kcrk_price", {{"SupFac", "1"}, {"CondStr", "goodid='1001'"}}),
     {"rpt_kcrk_price"}},
    {"Rpt_Tol_Day", View("rpt_mz_fee_v", "rpt_tol_day", {{"ObjField", "DepaID"}, {"AmtQty", "1"}}),
     {"rpt_tol_day"}},
    {"Rpt_Tol_Day",
     View("rpt_mz_fee_v", "rpt_tol_day", {{"ObjField", "DepaID"}, {"AmtQty", "0"}, {"QtyIndex", "1"}}),
     {"rpt_tol_day"}},
    {"Rpt_Tol_Day", View("rpt_mz_fee_v", "rpt_tol_day", {{"ObjField", "DepaID"}, {"QtyIndex", "1"}}), {},
     "CalcuDayQty", 1},
    {"Rpt_Zy_Day", View("rpt_zy_charge_v", "rpt_zy_day", {{"ObjField", "DepaID"}}), {"rpt_zy_day"}},
    {"Rpt_Zy_Day", View("rpt_zy_charge_v", "rpt_zy_day", {{"ObjField", "DepaID"}}), {}, "CalcuDayQty"},
    {"Rpt_RegCz_Day", View("rpt_mz_reg_v", "rpt_regcz_day"), {"rpt_regcz_day"}},
    {"Rpt_RegCz", {{"RptTab", "rpt_reg"}, {"RptDesc", ValueListOf({"", "全院"})}}, {}, "CalcuRpt", -1},
    {"Rpt_Kc_Query", {{"RptTab", "rpt_stock_query"}, {"RptDesc", ""}}, {}, "CalcuRpt", -1},
    // The daily sheets: each phase of the cashier's and the insurance sheets
    // traps its error into the reporter and the call returns.
    {"Rpt_Tol_Rbb", {{"CondStr", kMonth}, {"JzrDay", "2024-03-15"}, {"Submiter", "收费处"}},
     {"rpt_Tol_rbb", "rpt_Tol_Rbb_Infod", "rpt_rbbd"}, "CalcuRpt", 2, true},
    {"Rpt_Yjk_Rbb", {{"CondStr", kMonth}, {"JzrDay", "2024-03-15"}, {"Submiter", "收费处"}},
     {"rpt_Tol_rbb"}},
    {"Rpt_Yb_Rbb", {{"CondStr", kMonth}, {"RptDesc", ""}}, {"rpt_Yb_rbb"}, "CalcuRpt", 2, true},
    {"Rpt_Yb_Rbb_Zyjz", {{"CondStr", kMonth}, {"RptDesc", ""}}, {"rpt_Yb_rbb"}, "CalcuRpt", 2, true},
    {"Rpt_Yb_Rbb_Zyjs", {{"CondStr", kMonth}, {"RptDesc", ""}}, {"rpt_Yb_rbb"}, "CalcuRpt", 2, true},
};

class FaultsTest : public ReportFixture {
 protected:
  Scripts ReportScripts() const override { return AllScripts(); }
  Scripts SourceScripts() const override { return AllScripts(); }
  int SourceCount() const override { return 2; }
  static Scripts AllScripts() {
    Scripts all;
    for (const std::string& s : schema::ScriptNames())
      if (s != "fixed_tables") all.push_back(s);
    return all;
  }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    for (int db = 0; db <= 2; ++db) {
      Exec(db, "insert into qev_pub_good (id,Name,spec,UnitName) values "
               "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','生理盐水','500ml','瓶')");
      Exec(db, "insert into qev_pub_depa (id,name) values ('01','内科'),('02','外科')");
      Exec(db, "insert into qev_pub_user (id,name) values ('D01','张伟')");
      Exec(db, "insert into qev_pub_type_fpxm (id,name) values ('01','西药费'),('02','检查费')");
      Exec(db, "insert into qev_pub_xydw (id,name) values ('S1','国药')");
    }
    for (int db = 1; db <= 2; ++db) {
      const std::string n = std::to_string(db);
      Insert(db, "fy_detail", "goodid,MzZy,DepaID,iDate,Qty,UnitRate,Amt",
             {"'1001','1','01','2024-03-02',2,1,5", "'1002','2','02','2024-03-03'," + n + ",1,3.5"});
      Insert(db, "kc_move", "goodid,Type,CkTypeID,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,UnitPrice",
             {"'1001','0',NULL,'Y1',NULL,'2024-03-01',10,1,2,3",
              "'1001','1',NULL,'Y1','S1','2024-03-02'," + n + ",1,2,3",
              "'1001','2','1','Y1',NULL,'2024-03-03',-3,1,2,3"});
      Insert(db, "zy_good_fee", "Kind,goodid,iDate,Qty,UnitRate,Amt,zydjid,DepaID,DoctorID,fpxmid,isdoamt",
             {"'qd','1001','2024-03-04',2,1,10,'Z" + n + "','01','D01','01',1",
              "'jz','1002','2024-03-05',1,1,4,'Z1','02','D01','02',0"});
      Insert(db, "mz_fee", "ID,RegID,Name,iDate,DepaID,DoctorID,fpxmid,Amt",
             {"'F" + n + "','G" + n + "','P','2024-03-02 09:00:00','01','D01','01',12",
              "'F9','G9','Q','2024-03-03 10:00:00','02','D01','02',8"});
      Insert(db, "mz_reg", "RegID,DepaID,iDate", {"'G" + n + "','01','2024-03-02 08:00:00'"});
      Insert(db, "zy_charge", "zydjid,iDate,DepaID,Amt", {"'Z" + n + "','2024-03-04 09:00:00','01',120"});
      Insert(db, "kc_rk_line", "RkID,goodid,YfCkID,SupplierID,FactoryID,iDate,Qty,UnitRate,UnitName,JhPrice",
             {"'R" + n + "','1001','Y1','S1','F1','2024-03-0" + n + " 09:00:00',5,1,'盒',2." + n});
    }
  }

  // What a run leaves: the method's result, then the rows of WS1 in each
  // table and in rpt_header, each table's rows sorted.
  std::vector<std::string> Outcome(const FaultCase& c, const Variant& result) const {
    std::vector<std::string> out = {"result " + result.ToText()};
    std::vector<std::string> tables = c.tables;
    tables.push_back("rpt_header");
    for (const std::string& t : tables) {
      const size_t colon = t.find(':');
      const std::string columns = colon == std::string::npos ? "*" : t.substr(colon + 1);
      std::vector<std::string> rows =
          Text("select " + columns + " from " + t.substr(0, colon) + " where computer='WS1'");
      std::sort(rows.begin(), rows.end());
      out.push_back("table " + t);
      out.insert(out.end(), rows.begin(), rows.end());
    }
    return out;
  }

  Variant Run(const FaultCase& c, const Variant& report, const Object& host) const {
    Set(report, "Global_Lib_Obj", host);
    ArgList args;
    if (c.passed >= 0) {
      args.Value(Variant(static_cast<int16_t>(c.passed)));
      for (int k = 1; k <= c.passed; ++k) args.Value(Variant(faulty_sources_[k - 1]));
    }
    return Invoke(report, c.method, kInvokeMethod, args);
  }

  // Host and sources behind fault proxies of `plan`.
  void Arm(const std::shared_ptr<host::FaultPlan>& plan) {
    faulty_host_ = host::FaultObject(host(), plan);
    faulty_sources_ = {host::FaultObject(Source(1).object(), plan),
                       host::FaultObject(Source(2).object(), plan)};
  }
  void Disarm() {
    faulty_host_ = host();
    faulty_sources_ = {Source(1).object(), Source(2).object()};
  }

  // The properties as a host sets them before each calculation (a report
  // may leave one changed by design).
  static void LetAll(const FaultCase& c, const Variant& report) {
    for (const auto& [name, value] : c.props) Let(report, name, Variant(value));
  }

  Object faulty_host_;
  std::vector<Object> faulty_sources_;
};

INSTANTIATE_TEST_SUITE_P(Backends, FaultsTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, FaultsTest, OdbcBackends(), BackendTestName);

TEST_P(FaultsTest, EveryHostCallFailingReachesTheCallerAndSpoilsNothing) {
  const Variant reporter = frame::GetActiveXObj();
  long pairs = 0;
  std::string per_case;
  for (const FaultCase& c : kCases) {
    SCOPED_TRACE(std::string(c.cls) + "." + c.method);
    Variant report(CreateObject(std::string("qevRptCalLib.") + c.cls));
    LetAll(c, report);
    // A clean run, counted: the calls to fail and the rows to expect.
    auto counting = std::make_shared<host::FaultPlan>();
    Arm(counting);
    const Variant alone_result = Run(c, report, faulty_host_);
    LetAll(c, report);
    const std::vector<std::string> alone = Outcome(c, alone_result);
    const int64_t calls = counting->calls();
    ASSERT_GT(calls, 2);
    per_case += std::string(" ") + c.cls + "." + c.method + "=" + std::to_string(calls);
    // For a report that traps per phase: the phase (procedure) each failing
    // call was reported in, and how many calls the run made after it.
    std::vector<std::string> phase_of(static_cast<size_t>(calls) + 1);
    std::vector<int64_t> calls_after(static_cast<size_t>(calls) + 1);
    for (int64_t k = 1; k <= calls; ++k) {
      SCOPED_TRACE("failing call " + std::to_string(k));
      auto plan = std::make_shared<host::FaultPlan>(k);
      LetAll(c, report);
      Arm(plan);
      const int32_t reported_before = Get(reporter, "ErrorCount").ToInt32();
      const CaughtError caught = ErrorOf([&] { Run(c, report, faulty_host_); });
      const std::optional<Error> raised = plan->raised();
      ASSERT_TRUE(raised.has_value()) << "call " << k << " never came";
      const Error injected = *raised;
      if (c.traps) {
        EXPECT_EQ(caught.number, 0) << caught.description;
        ASSERT_GT(Get(reporter, "ErrorCount").ToInt32(), reported_before);
        const std::string text = Call(reporter, "ErrorText", Variant(reported_before)).ToText();
        EXPECT_EQ(text.rfind("Error " + std::to_string(injected.number) + " in " + c.cls + ".", 0), 0u) << text;
        EXPECT_NE(text.find("(source " + injected.source + "): " + injected.description), std::string::npos)
            << text;
        const size_t dot = std::string("Error ").size() + std::to_string(injected.number).size() +
                           std::string(" in ").size() + std::string(c.cls).size();
        phase_of[k] = text.substr(dot + 1, text.find(' ', dot) - dot - 1);
        calls_after[k] = plan->calls() - k;
      } else {
        EXPECT_EQ(caught.number, injected.number);
        EXPECT_EQ(caught.source, injected.source);
        EXPECT_EQ(caught.description, injected.description);
      }
      for (const auto& [name, value] : c.props) {
        if (name == c.changes) continue;
        EXPECT_EQ(Get(report, name).ToText(), Variant(value).ToText()) << name;
      }
      Disarm();
      LetAll(c, report);
      const Variant result = Run(c, report, host());
      ASSERT_EQ(Outcome(c, result), alone);
      ++pairs;
    }
    if (!c.traps) continue;
    // The phases are the procedures that trap. A failure in the method's
    // own steps ends the call there; a failure inside a procedure it calls
    // is reported by that procedure and the calculation goes on, so calls
    // follow it unless it came in the procedure that makes the last call.
    // The first call, clearing the calculation's own rows, is the method's.
    EXPECT_EQ(phase_of[1], c.method);
    for (int64_t k = 1; k <= calls; ++k) {
      SCOPED_TRACE("failing call " + std::to_string(k) + " in " + phase_of[k]);
      if (phase_of[k] == c.method) {
        EXPECT_EQ(calls_after[k], 0);
      } else if (phase_of[k] != phase_of[calls]) {
        EXPECT_GT(calls_after[k], 0);
      }
    }
  }
  std::printf("%s: %ld (report, failing call) pairs:%s\n", BackendName(GetParam()), pairs,
              per_case.c_str());
}

}  // namespace
}  // namespace qev::testing
