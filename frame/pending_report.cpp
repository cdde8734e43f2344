#include "frame/pending_report.h"

#include <memory>

#include "frame/report_component.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

// Whether a class's CalcuRpt starts with the common preamble: the daily
// sheets keep no rpt_header row and clear tables of their own.
bool HasCommonPreamble(std::string_view cls) {
  return !(cls == "Rpt_Tol_Rbb" || cls == "Rpt_Yjk_Rbb" || cls == "Rpt_Yb_Rbb" ||
           cls == "Rpt_Yb_Rbb_Zyjz" || cls == "Rpt_Yb_Rbb_Zyjs");
}

class PendingReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      if (HasCommonPreamble(spec().name)) CommonPreamble();
      NotImplemented(member.name);
    }
    // Methods and computed (read-only) properties belong to the class.
    const bool computed = member.kinds == kInvokeGet && !EqualsNoCase(member.name, "ComputerName");
    if ((member.kinds & kInvokeMethod) || computed) NotImplemented(member.name);
    return false;
  }
};

}  // namespace

Object MakePendingReport(const ClassSpec& spec) { return std::make_shared<PendingReport>(spec); }

}  // namespace qev::frame
