#include "frame/registration.h"

#include <memory>
#include <vector>

#include "frame/pending_report.h"
#include "frame/report_makers.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

struct Built {
  const char* name;
  ReportMaker maker;
};

// The classes whose calculation is built.
const Built kBuilt[] = {
    {"Rpt_Tol_Good", &MakeRpt_Tol_Good},
    {"Rpt_Fy_Good", &MakeRpt_Fy_Good},
    {"Rpt_Zy_Good", &MakeRpt_Zy_Good},
    {"Rpt_KcCk", &MakeRpt_KcCk},
    {"Rpt_KcRk", &MakeRpt_KcRk},
    {"Rpt_Kc_Count", &MakeRpt_Kc_Count},
    {"Rpt_RegCz", &MakeRpt_RegCz},
    {"Rpt_Kc_Query", &MakeRpt_Kc_Query},
    {"Rpt_Tol_Type", &MakeRpt_Tol_Type},
    {"Rpt_Tol_TypeDx", &MakeRpt_Tol_TypeDx},
    {"Rpt_Kc_Zz", &MakeRpt_Kc_Zz},
    {"Rpt_Tol_Day", &MakeRpt_Tol_Day},
    {"Rpt_Zy_Day", &MakeRpt_Zy_Day},
    {"Rpt_RegCz_Day", &MakeRpt_RegCz_Day},
    {"Rpt_Zy_Type", &MakeRpt_Zy_Type},
    {"Rpt_Zy_TypeDx", &MakeRpt_Zy_TypeDx},
    {"Rpt_KcRk_Price", &MakeRpt_KcRk_Price},
    {"Rpt_Tol_Rbb", &MakeRpt_Tol_Rbb},
    {"Rpt_Yjk_Rbb", &MakeRpt_Yjk_Rbb},
    {"Rpt_Yb_Rbb", &MakeRpt_Yb_Rbb},
    {"Rpt_Yb_Rbb_Zyjz", &MakeRpt_Yb_Rbb_Zyjz},
    {"Rpt_Yb_Rbb_Zyjs", &MakeRpt_Yb_Rbb_Zyjs},
};

class ReportFactory : public ClassFactory {
 public:
  explicit ReportFactory(const ClassSpec& spec) : spec_(spec), maker_(MakerOf(spec.name)) {}
  Object CreateInstance() override { return maker_(spec_); }

 private:
  const ClassSpec& spec_;
  ReportMaker maker_;
};

}  // namespace

ReportMaker MakerOf(std::string_view class_name) {
  for (const Built& b : kBuilt)
    if (EqualsNoCase(b.name, class_name)) return b.maker;
  return &MakePendingReport;
}

ServerModule& RptCalModule() {
  static ServerModule* module = [] {
    std::vector<ServerModule::Class> classes;
    for (const ClassSpec& spec : Catalogue())
      classes.push_back({ClassInfo{spec.progid, spec.clsid, spec.iid},
                         new ReportFactory(spec)});  // lives as long as the library
    return new ServerModule(std::move(classes));
  }();
  return *module;
}

void RegisterLinkedClasses() { RptCalModule().RegisterLinked(); }

}  // namespace qev::frame
