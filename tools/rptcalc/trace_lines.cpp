#include "tools/rptcalc/trace_lines.h"

#include <ostream>

#include "tools/rptcalc/report_output.h"

namespace rptcalc {

bool IsQueryObjectLabel(std::string_view label) {
  return label == "report" || label == "detail" || label == "source1" || label == "source2" ||
         label == "source3";
}

size_t WriteTraceLines(const std::vector<qev::host::TraceRecord>& records, std::ostream& out) {
  size_t written = 0;
  for (const auto& record : records) {
    if (!IsQueryObjectLabel(record.object)) continue;
    nlohmann::ordered_json args = nlohmann::ordered_json::array();
    for (const auto& arg : record.args) args.push_back(ValueToJson(arg));
    nlohmann::ordered_json line = {
        {"object", record.object}, {"member", record.member}, {"args", std::move(args)}};
    // Text that is not valid UTF-8 is replaced rather than ending the run.
    out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    ++written;
  }
  return written;
}

}  // namespace rptcalc
