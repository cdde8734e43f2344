#include "frame/pending_report.h"

#include <memory>

#include "frame/report_component.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

// Which part of the common preamble a class's CalcuRpt starts with.
enum class Preamble { kFull, kHeaderOnly, kOwn };

Preamble PreambleOf(std::string_view cls) {
  if (cls == "Rpt_RegCz" || cls == "Rpt_Kc_Query") return Preamble::kHeaderOnly;
  // The stock ledger orders its own clearing; the daily sheets keep no
  // rpt_header row.
  if (cls == "Rpt_Kc_Zz" || cls == "Rpt_Tol_Rbb" || cls == "Rpt_Yjk_Rbb" ||
      cls == "Rpt_Yb_Rbb" || cls == "Rpt_Yb_Rbb_Zyjz" || cls == "Rpt_Yb_Rbb_Zyjs")
    return Preamble::kOwn;
  return Preamble::kFull;
}

class PendingReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      switch (PreambleOf(spec().name)) {
        case Preamble::kFull: CommonPreamble(); break;
        case Preamble::kHeaderOnly: RenewHeader(); break;
        case Preamble::kOwn: break;
      }
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
