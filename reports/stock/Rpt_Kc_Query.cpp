// Rpt_Kc_Query: the report component of the stock query. It computes no
// figures; its calculation renews the workstation's header record for the
// report table so that the stock query has a header like every report.
#include <memory>

#include "frame/report_component.h"
#include "frame/report_makers.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

class Rpt_Kc_Query : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList&, Variant*) override {
    if (!EqualsNoCase(member.name, "CalcuRpt")) return false;
    CalcuRpt();
    return true;
  }

 private:
  // Deletes and re-inserts the workstation's rpt_header row of RptTab; the
  // rows of RptTab are neither deleted nor written, and Kfhb is not read.
  void CalcuRpt() { RenewHeader(); }
};

}  // namespace

Object MakeRpt_Kc_Query(const ClassSpec& spec) { return std::make_shared<Rpt_Kc_Query>(spec); }

}  // namespace qev::frame
