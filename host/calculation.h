// The bracket a host application puts around one calculation.
//
// A calculation of a report table for a workstation deletes that
// workstation's rows and writes them anew, statement by statement, with no
// transaction (the components' own rule). Two calculations of the same
// table for the same workstation at the same time would therefore mix
// their rows, and a calculation that fails half way leaves half a report.
// The host services guard against both:
//
//  - One calculation at a time per (report table, workstation): a
//    Calculation holds a lock on that pair while it lives. On PostgreSQL it
//    is a session advisory lock of the report database's connection; on
//    SQLite an open-file-description lock on one byte of the file
//    "<database>-calc" beside the database. The operating system or the
//    server releases it when the process dies. A second calculation of the
//    same pair waits for the first up to a bound, then fails with
//    kErrCalculationBusy naming the workstation and the table; other pairs
//    never wait.
//  - Every calculation is recorded in the table qev_calculation of the
//    report database (created with the fixed tables, or at the first
//    calculation): report table, workstation, started, finished, outcome
//    ("running", "ok", "failed"), error number and text. LastCalculation
//    tells a reader whether the rows it is about to show are a finished
//    report.
//
//  - The calculation's writes on the report database are batched
//    (host/write_batch.h) between the "running" record, committed before
//    the calculation starts, and the outcome, written after the batch has
//    committed: a reader that sees the outcome sees every row.
//
// The rows themselves are not touched: a failed calculation's rows stay as
// the components leave them, until the next calculation deletes them.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace qev::host {

class Database;
class CalculationLock;
class WriteBatch;

// The error number of a calculation that waited in vain for the lock.
inline constexpr int32_t kErrCalculationBusy = 32005;

class Calculation {
 public:
  // Takes the lock of (`rpttab`, the host library object's current
  // workstation) on the report database of `host_lib` (a host library
  // object of this library, or a tracing proxy of one), waiting up to
  // `wait`, and records the start. Raises kErrCalculationBusy past the
  // bound, kErrBadStatement for an object that is not a host library object.
  Calculation(const Object& host_lib, std::string rpttab, std::chrono::milliseconds wait);
  // Commits the batched writes and releases the lock. A calculation ended
  // neither by Succeeded nor by Failed (an exception on the way) is
  // recorded as failed.
  ~Calculation();
  Calculation(const Calculation&) = delete;
  Calculation& operator=(const Calculation&) = delete;

  // Commit the batched writes and record the outcome. When the commit
  // fails, the calculation is recorded as failed with the engine's error,
  // which is raised.
  void Succeeded();
  void Failed(int32_t number, std::string_view description);

  const std::string& workstation() const { return workstation_; }

 private:
  void Finish(std::string_view outcome, int32_t number, std::string_view description);

  std::string workstation_;  // filled while db_ is found: declared first
  std::shared_ptr<Database> db_;
  std::string rpttab_;
  std::unique_ptr<CalculationLock> lock_;
  std::unique_ptr<WriteBatch> batch_;  // while the calculation runs
  int64_t id_ = 0;
  bool finished_ = false;
};

// What the last calculation of a report table for a workstation came to.
struct CalculationState {
  enum Kind {
    kNone,         // never calculated (or before calculations were recorded)
    kSucceeded,    // finished normally
    kFailed,       // ended with an error: number and description say which
    kInterrupted,  // started, never finished, and no one holds its lock
    kRunning,      // started and its lock is still held
  } kind = kNone;
  std::string started, finished;
  int32_t number = 0;
  std::string description;
};

// "none", "ok", "failed", "interrupted" or "running".
std::string_view CalculationStateName(CalculationState::Kind kind);

// The last calculation of `rpttab` for `workstation` on the report database
// of `host_lib`.
CalculationState LastCalculation(const Object& host_lib, std::string_view rpttab,
                                 std::string_view workstation);
// The same on the report database itself.
CalculationState LastCalculation(const std::shared_ptr<Database>& report_db,
                                 std::string_view rpttab, std::string_view workstation);

}  // namespace qev::host
