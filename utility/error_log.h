// ErrorLog: the errors that report components hand to qevRaisError.
//
// A component that traps an error in one phase of its calculation reports
// it here and carries on with the next phase, so the host learns of the
// failure only from this list (and from the line written to standard
// error). One list belongs to one ActiveX_Lib object and is shared by every
// function object it makes; all members are safe to call from several
// threads at once.
//
// Each error is also written to standard error as it is reported, unless
// the host turns that off (set_echo(false)) because it shows the list
// itself.
//
// The list keeps the most recent kCapacity errors; older ones are dropped
// (dropped() counts them) so that a host that never reads the list does not
// grow without bound.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace qev::utility {

// One reported error, with where it was trapped.
struct ReportedError {
  int32_t number = 0;
  std::string source;
  std::string description;
  std::string class_name;
  std::string proc_name;
  std::string extra1;
  std::string extra2;

  // One line, without line breaks:
  // "Error <number> in <class>.<proc> (source <source>): <description>"
  // followed by " [<extra1>]" and " [<extra2>]" when those are not empty.
  std::string ToText() const;
};

class ErrorLog {
 public:
  static constexpr size_t kCapacity = 1000;

  void Append(ReportedError error);
  size_t size() const;
  size_t dropped() const;
  // The error at `index`, 0 being the oldest kept; nullopt when out of range.
  std::optional<ReportedError> At(size_t index) const;
  void Clear();
  bool echo() const { return echo_.load(std::memory_order_relaxed); }
  void set_echo(bool on) { echo_.store(on, std::memory_order_relaxed); }

 private:
  mutable std::mutex mu_;
  std::deque<ReportedError> errors_;
  size_t dropped_ = 0;
  std::atomic<bool> echo_{true};
};

}  // namespace qev::utility
