// Rpt_Yb_Rbb_Zyjz: the medical-insurance daily sheet of the inpatient
// settlements of qev_Zyjz_Infoh_L_Yb_V, their sums in rpt_Yb_rbb
// (reports/cashier/insurance_sheet.h).
#include "frame/report_makers.h"
#include "reports/cashier/insurance_sheet.h"

namespace qev::frame {

Object MakeRpt_Yb_Rbb_Zyjz(const ClassSpec& spec) {
  return MakeInsuranceSheet(spec, /*view=*/"qev_Zyjz_Infoh_L_Yb_V",
                            /*class_name=*/"Rpt_Yb_Rbb_Zyjz");
}

}  // namespace qev::frame
