#include "tests/support/traced_calls.h"

#include "platform/dispatch.h"

namespace qev::testing {

TracedCalls::TracedCalls(const Object& host, const std::vector<Object>& sources)
    : log_(std::make_shared<host::TraceLog>()),
      host_(host::TraceObject(host, "host", log_,
                              {{"DbA_Query0_Obj", "report"}, {"DbA_Query_Obj", "detail"}})) {
  for (size_t k = 0; k < sources.size(); ++k)
    sources_.push_back(host::TraceObject(sources[k], "source" + std::to_string(k + 1), log_));
}

void TracedCalls::Attach(const Variant& report) const {
  Set(report, "Global_Lib_Obj", host_);
  log_->clear();
}

void TracedCalls::CalcuRpt(const Variant& report, int16_t source_num, int passed) const {
  CallWithSources(report, "CalcuRpt", source_num, passed);
}

Variant TracedCalls::CallWithSources(const Variant& report, const std::string& method,
                                     int16_t source_num, int passed) const {
  Attach(report);
  ArgList args;
  args.Value(Variant(source_num));
  for (int k = 1; k <= passed; ++k) args.Value(Source(k));
  return Invoke(report, method, kInvokeMethod, args);
}

std::vector<std::string> TracedCalls::CallsOn(const std::string& object) const {
  std::vector<std::string> out;
  for (const auto& rec : log_->records()) {
    if (rec.object != object) continue;
    std::string line = rec.member + "(";
    // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
    for (size_t i = 0; i < rec.args.size(); ++i)
      line.append(i ? "|" : "").append(ConcatText(rec.args[i]));
    out.push_back(line + ")");
  }
  return out;
}

}  // namespace qev::testing
