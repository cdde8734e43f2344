// The --trace file: one JSON object per line for every call a component
// made on a query object, in call order:
//   {"object": "report", "member": "OpenRs", "args": ["select ..."]}
// "object" is the label of the query object: "report" (DbA_Query0_Obj),
// "detail" (its DbA_Query_Obj) or "source1".."source3" (the caller's
// QueryDb1..3). Calls on the host library object and its parameter object
// are not query-object calls and are left out.
#pragma once

#include <iosfwd>
#include <string_view>
#include <vector>

#include "host/trace.h"

namespace rptcalc {

// True for the labels that name a query object.
bool IsQueryObjectLabel(std::string_view label);

// Writes the records whose label names a query object; returns how many.
size_t WriteTraceLines(const std::vector<qev::host::TraceRecord>& records, std::ostream& out);

}  // namespace rptcalc
