#include "tools/rptcalc/reported_errors.h"

#include "frame/CreateActiveXObj.h"
#include "platform/dispatch.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

void ClearReportedErrors() {
  const qev::Variant lib = qev::frame::GetActiveXObj();
  // rptcalc prints the list once the calculation has returned; the
  // library's own line per error would show each one twice.
  qev::Let(lib, "EchoErrors", qev::Variant(false));
  qev::Call(lib, "ClearErrors");
}

std::vector<std::string> ReportedErrors() {
  const qev::Variant lib = qev::frame::GetActiveXObj();
  const int32_t count = qev::Get(lib, "ErrorCount").ToInt32();
  std::vector<std::string> out;
  for (int32_t i = 0; i < count; ++i)
    out.push_back(qev::Call(lib, "ErrorText", qev::Variant(i)).ToText());
  return out;
}

int StatusAfterCalculation(const std::vector<std::string>& reported) {
  return reported.empty() ? kExitDone : kExitReportedErrors;
}

}  // namespace rptcalc
