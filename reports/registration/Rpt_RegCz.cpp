// Rpt_RegCz: the registration report component whose calculation prepares
// only the header record of its report table; whatever fills the table lies
// outside it.
#include <memory>

#include "frame/report_component.h"
#include "frame/report_makers.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

class Rpt_RegCz : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList&, Variant*) override {
    if (!EqualsNoCase(member.name, "CalcuRpt")) return false;
    CalcuRpt();
    return true;
  }

 private:
  // Deletes and re-inserts the workstation's rpt_header row of RptTab.
  void CalcuRpt() { RenewHeader(); }
};

}  // namespace

Object MakeRpt_RegCz(const ClassSpec& spec) { return std::make_shared<Rpt_RegCz>(spec); }

}  // namespace qev::frame
