// Fault injection for late-bound calls: a proxy with the same members as the
// object it wraps, which counts every call made through it and makes one
// chosen call fail with a database error instead of forwarding it. Objects
// that its calls return (record sets, the second query object, the
// parameter object) are wrapped as well and count in the same sequence.
// Used to show that a failure at any call a component makes on the host
// objects reaches the caller intact and spoils nothing for the next run.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::host {

// Which call fails, shared by all proxies of one run. Thread-safe.
class FaultPlan {
 public:
  // Call number `fail_at` (from 1) fails; 0 fails none and only counts.
  explicit FaultPlan(int64_t fail_at = 0) : fail_at_(fail_at) {}

  // The calls seen so far, the failing one included.
  int64_t calls() const;
  // The error the failing call raised, once it has raised it.
  std::optional<Error> raised() const;

  // Called by the proxies before forwarding: counts the call and raises
  // kErrDatabase when it is the chosen one. The error carries `source` (the
  // wrapped object's) and a description naming the call and the member.
  void Count(const std::string& source, const std::string& member);

 private:
  mutable std::mutex mu_;
  const int64_t fail_at_;
  int64_t calls_ = 0;
  std::optional<Error> raised_;
};

// A proxy of `inner` that counts its calls in `plan`; Nothing gives Nothing.
Object FaultObject(Object inner, std::shared_ptr<FaultPlan> plan);

}  // namespace qev::host
