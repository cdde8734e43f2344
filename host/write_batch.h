// Write batching: a calculation's writes on the report database, made cheap
// without changing a single statement the components send.
//
// The components write statement by statement and open no transactions of
// their own; in autocommit mode every one of those statements is a
// transaction, and on SQLite that commit, not the SQL, is most of the cost
// of a report. The host batches instead, between two marks the host
// application sets around a calculation (a WriteBatch, which
// host/calculation.h puts around every calculation it brackets):
//
// SQLite
//  - A batch opens with BEGIN IMMEDIATE at the first write inside the marks
//    (a statement that is not a plain read, or a serial value), so it never
//    has to upgrade a read lock and never deadlocks on one. Reads before
//    the first write take no lock.
//  - It commits when the marks end (on every path: a WriteBatch left by an
//    exception commits in its destructor), and also as soon as it has been
//    held for kWriteBatchBound (50 ms): a timer commits it even while the
//    component is busy elsewhere (reading a large source on another
//    connection), so that other workstations writing into the same file
//    wait for the write lock at most about that long (plus the statement
//    running at that moment). The next write opens the next batch.
//  - A writer that waits for the lock says so (a shared lock on byte 0 of
//    "<database>-calc", the file of the calculation locks); a batch that
//    ends by the bound while someone waits gives way before it opens the
//    next one (up to kWriteBatchGiveWay), so two workstations calculating
//    into one file take turns instead of one starving the other between
//    the polls of SQLite's busy handler.
//  - An error fails only its statement: SQLite rolls back just the failed
//    statement and keeps the transaction, so the rows written before stay
//    and are committed with the batch, as they are in autocommit mode.
//    Should the engine roll back the whole transaction (disk full, I/O
//    error, out of memory), the batch is over and the next write opens a
//    new one; those errors lose the unfinished calculation's rows that the
//    batch held, which its next run deletes anyway.
//  - Readers on other connections see the rows when the batch commits, at
//    the latest when the marks end. A process killed inside a batch loses
//    only that batch's rows; the file stays intact (SQLite's journal).
//
// PostgreSQL
//  - No transactions: a failed statement would abort the transaction and
//    take the rows before it along, and a savepoint per statement costs a
//    round trip. Inside the marks the report connection runs with
//    synchronous_commit = off instead: every statement still commits on
//    its own and is seen at once by every other session, but the server
//    does not wait for the commit record to reach the disk. A server crash
//    can lose the last moments (at most three times wal_writer_delay) of
//    committed report rows; the calculation record of those moments goes
//    with them in the same order, so such a report reads as interrupted,
//    never as finished, and is recomputed.
//
// Through ODBC (the driver left in autocommit mode) the same: a SQLite file
// gets its batches as statements (BEGIN IMMEDIATE, COMMIT) that the engine
// follows; a PostgreSQL server its session setting.
//
// Without the marks, every statement commits on its own, as before.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "host/database.h"
#include "platform/variant.h"

namespace qev::host {

// How long a batch on SQLite may hold the write lock before it commits.
inline constexpr std::chrono::milliseconds kWriteBatchBound{50};
// How long a batch that ended by the bound waits for a waiting writer to
// take the lock before it opens the next one.
inline constexpr std::chrono::milliseconds kWriteBatchGiveWay{100};

class BatchingDatabase;

// Wraps a database of the host services so that its writes can be batched
// (see above). Every database the host opens is wrapped.
std::shared_ptr<Database> WithWriteBatching(std::shared_ptr<Database> db);

// The marks: writes on the report database batched while it lives. Marks
// nest; the outermost decides.
class WriteBatch {
 public:
  // On the report database of `host_lib` (a host library object of this
  // library or a tracing proxy of one); raises kErrBadStatement for any
  // other object.
  explicit WriteBatch(const Object& host_lib);
  // On `db`; does nothing for a database not opened by the host services.
  explicit WriteBatch(const std::shared_ptr<Database>& db);
  // Ends the batch if End has not: commits, swallowing an error.
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;

  // Ends the batch now: commits what it holds. Raises the engine's error
  // when the commit fails.
  void End();

 private:
  std::shared_ptr<BatchingDatabase> db_;
};

}  // namespace qev::host
