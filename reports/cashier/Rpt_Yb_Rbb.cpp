// Rpt_Yb_Rbb: the medical-insurance daily sheet of the charge settlements,
// the sums of qev_Tol_Infoh_L_Yb_V in rpt_Yb_rbb
// (reports/cashier/insurance_sheet.h).
#include "frame/report_makers.h"
#include "reports/cashier/insurance_sheet.h"

namespace qev::frame {

Object MakeRpt_Yb_Rbb(const ClassSpec& spec) {
  return MakeInsuranceSheet(spec, /*view=*/"qev_Tol_Infoh_L_Yb_V", /*class_name=*/"Rpt_Yb_Rbb");
}

}  // namespace qev::frame
