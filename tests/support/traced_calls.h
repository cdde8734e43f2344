// Tracing harness for report tests: the host library object and the source
// query objects wrapped in tracing proxies sharing one log, the report run
// on them, and the recorded calls read back as text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/trace.h"
#include "platform/variant.h"

namespace qev::testing {

class TracedCalls {
 public:
  // The host's report query object is labelled "report" (its second query
  // object "detail"), source k is labelled "sourcek".
  TracedCalls(const Object& host, const std::vector<Object>& sources);

  // Gives `report` the traced host object and forgets the calls so far.
  void Attach(const Variant& report) const;
  // The traced query object of source k (from 1).
  Variant Source(int k) const { return Variant(sources_[k - 1]); }
  // Attach, then CalcuRpt(source_num, the first `passed` traced sources).
  void CalcuRpt(const Variant& report, int16_t source_num, int passed) const;
  // Attach, then `method`(source_num, the first `passed` traced sources),
  // e.g. CalcuDayQty or GetAllQty; returns its result.
  Variant CallWithSources(const Variant& report, const std::string& method, int16_t source_num,
                          int passed) const;
  // "member(arg|arg)" of every call recorded on `object`, in call order.
  std::vector<std::string> CallsOn(const std::string& object) const;

 private:
  std::shared_ptr<host::TraceLog> log_;
  Object host_;
  std::vector<Object> sources_;
};

}  // namespace qev::testing
