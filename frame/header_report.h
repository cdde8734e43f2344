// A report component whose calculation only renews the workstation's header
// record of its report table (steps 2 and 3 of the common preamble): the
// rows of the table are neither deleted nor written, and no source is read.
#pragma once

#include "frame/report_component.h"
#include "platform/ci_map.h"

namespace qev::frame {

class HeaderReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList&, Variant*) override {
    if (!EqualsNoCase(member.name, "CalcuRpt")) return false;
    CalcuRpt();
    return true;
  }

  void CalcuRpt() { RenewHeader(); }
};

}  // namespace qev::frame
