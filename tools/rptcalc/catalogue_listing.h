// `rptcalc classes`: the 22 report classes with ProgID, CLSID, interface
// and members in slot order.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/dispatch.h"
#include "tools/rptcalc/report_output.h"

namespace rptcalc {

// One member as a declaration: "RptTab As String (get/let)",
// "CalcuRpt(SourceNum As Integer, QueryDb1 As Object, [QueryDb2 As Object])",
// "GetDetailCondStr(KeyValue As String) As String".
std::string MemberSignature(const qev::MemberInfo& member);

void WriteClassList(OutputFormat format, std::ostream& out);

}  // namespace rptcalc
