// The base of the daily sheets: their own members are RptInit(), which
// clears the workstation's rows and leaves the empty sheet, and
// CalcuRpt(SourceNum, QueryDb1, QueryDb2, QueryDb3); everything else is the
// common property block.
#pragma once

#include "frame/report_component.h"
#include "platform/ci_map.h"

namespace qev::frame {

class DailySheet : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args, Variant*) final {
    if (EqualsNoCase(member.name, "RptInit")) {
      RptInit();
      return true;
    }
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      CalcuRpt(SourceArgs::From(args));
      return true;
    }
    return false;
  }

  virtual void RptInit() = 0;
  virtual void CalcuRpt(const SourceArgs& a) = 0;
};

}  // namespace qev::frame
