// Rpt_Kc_Query: the report component of the stock query. It computes no
// figures; its calculation renews the workstation's header record for the
// report table, so that the stock query has a header like every report.
// Kfhb is kept and returned but never read.
#include <memory>

#include "frame/header_report.h"
#include "frame/report_makers.h"

namespace qev::frame {

namespace {

class Rpt_Kc_Query : public HeaderReport {
 public:
  using HeaderReport::HeaderReport;
};

}  // namespace

Object MakeRpt_Kc_Query(const ClassSpec& spec) { return std::make_shared<Rpt_Kc_Query>(spec); }

}  // namespace qev::frame
