// Exit statuses of rptcalc and the error that ends a command for bad usage.
#pragma once

#include <stdexcept>

namespace rptcalc {

enum ExitStatus : int {
  kExitDone = 0,
  // The component (or a host object under it) raised an error.
  kExitComponentError = 1,
  // Bad command line or input: unknown class or property, a missing
  // database file, an unwritable trace file and the like.
  kExitUsage = 2,
  // The calculation returned, but errors were handed to the utility
  // library's error reporter on the way.
  kExitReportedErrors = 3,
  // The rows were printed, but they are not a finished report: the
  // workstation's last calculation of the table failed, was interrupted or
  // is still running (--no-calc).
  kExitNotFinished = 4,
};

// Ends a command with exit status 1 when its output cannot be written
// (a full disk, a closed pipe); what() names the output.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ends a command with kExitUsage; what() is the one-line message shown to
// the user (without the "rptcalc: " prefix).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace rptcalc
