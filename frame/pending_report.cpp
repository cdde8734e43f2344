#include "frame/pending_report.h"

#include <memory>

#include "frame/report_component.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

class PendingReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override {
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      CommonPreamble();
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
