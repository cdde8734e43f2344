// Rpt_RegCz: the registration report component whose calculation prepares
// only the header record of its report table; whatever fills the table lies
// outside it.
#include <memory>

#include "frame/header_report.h"
#include "frame/report_makers.h"

namespace qev::frame {

namespace {

class Rpt_RegCz : public HeaderReport {
 public:
  using HeaderReport::HeaderReport;
};

}  // namespace

Object MakeRpt_RegCz(const ClassSpec& spec) { return std::make_shared<Rpt_RegCz>(spec); }

}  // namespace qev::frame
