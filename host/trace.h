// Tracing of late-bound calls: a proxy object with the same members as the
// object it wraps, which records every call before forwarding it. Used to
// check which calls a component makes on the host objects, with which
// arguments and in which order.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch.h"

namespace qev::host {

// One recorded call: the label of the object, the member's declared name and
// the argument values as they were when the call began (for a property
// assignment the new value is the last argument; an omitted optional
// argument is Empty).
struct TraceRecord {
  std::string object;
  std::string member;
  std::vector<Variant> args;
};

// The calls recorded by one or more proxies, in call order. Thread-safe.
class TraceLog {
 public:
  void Append(TraceRecord record);
  std::vector<TraceRecord> records() const;  // a snapshot
  size_t size() const;
  void clear();

 private:
  mutable std::mutex mu_;
  std::vector<TraceRecord> records_;
};

// A proxy of `inner` labelled `label` that records every call into `log`
// and then forwards it. Objects returned by the members named in
// `child_labels` (pairs of member name, matched without regard to case, and
// label; e.g. {"DbA_Query0_Obj", "report"}) are wrapped as well, with that
// label and the same `child_labels`. Nothing gives Nothing.
Object TraceObject(Object inner, std::string label, std::shared_ptr<TraceLog> log,
                   std::vector<std::pair<std::string, std::string>> child_labels = {});

// The object behind a tracing proxy (through any number of them); any other
// object unchanged.
Object UntracedObject(const Object& object);

}  // namespace qev::host
