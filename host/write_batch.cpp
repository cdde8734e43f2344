#include "host/write_batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/host_lib.h"
#include "host/query_object.h"
#include "host/sql_text.h"
#include "host/trace.h"
#include "platform/error.h"

namespace qev::host {

namespace {

using Clock = std::chrono::steady_clock;

// Statements that only read: they need no batch of their own (inside one
// they see its rows, on the same connection).
bool OnlyReads(std::string_view sql) {
  const std::string keyword = FirstKeyword(sql);
  return keyword == "select" || keyword == "values" || keyword == "pragma" || keyword == "explain";
}

bool IsPrivateMemory(const std::string& path) {
  return path.empty() || path == ":memory:" || path.starts_with("file::memory:");
}

// Byte 0 of "<database>-calc": a writer waiting for the write lock holds a
// shared lock on it (through an open file description of its own, so it
// conflicts across processes and connections alike); the holder of a batch
// looks for such a lock before it opens the next one. The calculation
// locks of host/calculation.cpp live at other offsets of the same file.
class WaitingWriters {
 public:
  explicit WaitingWriters(std::string path) : path_(std::move(path)) {}
  ~WaitingWriters() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Says that this connection is about to wait for the write lock. With
  // `create` false the file is not created (a host writing without a
  // batch: no batch of this library ever ran on the file if it is
  // missing, so no one would look).
  void Announce(bool create) {
    if (!Open(create)) return;
    Lock(F_RDLCK);
  }
  void Withdraw() {
    if (fd_ >= 0) Lock(F_UNLCK);
  }

  // True when another connection announces a wait.
  bool SomeoneWaits() {
    if (!Open(false)) return false;
    struct flock fl = Range(F_WRLCK);
    if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
  }

 private:
  static struct flock Range(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    return fl;
  }
  void Lock(short type) {
    struct flock fl = Range(type);
    ::fcntl(fd_, F_OFD_SETLK, &fl);  // best effort: a shared lock is never refused by another shared one
  }
  bool Open(bool create) {
    if (fd_ >= 0) return true;
    // Without `create`, a missing file is looked for again at most once a
    // second, so that a writer without batches pays nothing per statement.
    const Clock::time_point now = Clock::now();
    if (!create && now < next_try_) return false;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd_ < 0) next_try_ = now + std::chrono::seconds(1);
    return fd_ >= 0;
  }

  std::string path_;
  int fd_ = -1;
  Clock::time_point next_try_{};
};

}  // namespace

class BatchingDatabase final : public Database {
 public:
  explicit BatchingDatabase(std::shared_ptr<Database> inner)
      : inner_(std::move(inner)),
        sqlite_(inner_->engine() == "sqlite"),
        postgres_(inner_->engine() == "postgresql") {
    set_connection(inner_->connection());
    // The file beside the database (an ODBC connection names its file inside
    // the connection string).
    const std::string file = inner_->LockFilePath();
    if (sqlite_ && !IsPrivateMemory(file)) waiting_ = std::make_unique<WaitingWriters>(file + "-calc");
  }

  ~BatchingDatabase() override {
    std::unique_lock<std::mutex> lock(mu_);
    if (depth_ > 0) {
      depth_ = 1;
      EndLocked(lock, /*raise=*/false);
    }
  }

  const std::string& source() const override { return inner_->source(); }
  std::string_view engine() const override { return inner_->engine(); }

  void Execute(std::string_view sql, std::span<const SqlParam> params, ResultTable* result,
               size_t max_rows, std::string_view shown_sql) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!Batching()) {
      // A write outside a batch may wait for another workstation's batch:
      // it says so, so that the batch gives way.
      const bool announce = waiting_ && !OnlyReads(sql);
      if (announce) waiting_->Announce(/*create=*/false);
      try {
        inner_->Execute(sql, params, result, max_rows, shown_sql);
      } catch (...) {
        if (announce) waiting_->Withdraw();
        throw;
      }
      if (announce) waiting_->Withdraw();
      return;
    }
    if (!OnlyReads(sql)) OpenLocked();
    ExecuteInBatchLocked([&] { inner_->Execute(sql, params, result, max_rows, shown_sql); });
  }

  bool IsTextColumn(std::string_view table, std::string_view column) override {
    std::lock_guard<std::mutex> lock(mu_);
    return inner_->IsTextColumn(table, column);
  }

  int64_t NextSequenceValue(std::string_view name) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!Batching()) return inner_->NextSequenceValue(name);
    OpenLocked();
    int64_t value = 0;
    ExecuteInBatchLocked([&] { value = inner_->NextSequenceValue(name); });
    return value;
  }

  bool InTransaction() override {
    std::lock_guard<std::mutex> lock(mu_);
    return inner_->InTransaction();
  }

  void AppendParamMarker(std::string* sql, int index) const override {
    inner_->AppendParamMarker(sql, index);
  }
  std::string DateLiteral(Date date) const override { return inner_->DateLiteral(date); }
  std::string NumericOrder(std::string_view field) const override {
    return inner_->NumericOrder(field);
  }
  std::string_view FixedTablesDdl() const override { return inner_->FixedTablesDdl(); }
  void SetStatementTimeout(std::chrono::milliseconds limit) override {
    inner_->SetStatementTimeout(limit);
  }
  std::string LockFilePath() const override { return inner_->LockFilePath(); }

  void Begin() {
    std::lock_guard<std::mutex> lock(mu_);
    if (depth_++ > 0) return;
    if (sqlite_) {
      stop_ = false;
      timer_ = std::thread([this] { TimerLoop(); });
    } else if (postgres_) {
      Setting("set synchronous_commit to off");
    }
  }

  void End(bool raise) {
    std::unique_lock<std::mutex> lock(mu_);
    if (depth_ == 0) return;
    EndLocked(lock, raise);
  }

 private:
  bool Batching() const { return sqlite_ && depth_ > 0; }

  // Runs `run` inside the open batch; after a failure, notes whether the
  // engine kept the transaction (it does for nearly every error: only the
  // failed statement is rolled back).
  template <typename Run>
  void ExecuteInBatchLocked(Run&& run) {
    try {
      run();
    } catch (...) {
      if (open_ && !inner_->InTransaction()) open_ = false;
      throw;
    }
  }

  // Opens a batch unless one is open; first commits one held past the
  // bound (the timer does so too, between statements).
  void OpenLocked() {
    if (open_ && Clock::now() - opened_at_ >= kWriteBatchBound) CommitLocked(/*by_bound=*/true);
    if (open_) return;
    if (waiting_) {
      // Give a waiting writer its turn after a batch that ended by the
      // bound; it holds its announcement until it has the lock.
      while (Clock::now() < give_way_until_ && waiting_->SomeoneWaits())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      give_way_until_ = {};
      waiting_->Announce(/*create=*/true);
    }
    try {
      inner_->Execute("BEGIN IMMEDIATE", {}, nullptr, SIZE_MAX, {});
    } catch (...) {
      if (waiting_) waiting_->Withdraw();
      throw;
    }
    if (waiting_) waiting_->Withdraw();
    open_ = true;
    opened_at_ = Clock::now();
    cv_.notify_all();
  }

  void CommitLocked(bool by_bound) {
    try {
      inner_->Execute("COMMIT", {}, nullptr, SIZE_MAX, {});
    } catch (...) {
      open_ = inner_->InTransaction();
      throw;
    }
    open_ = false;
    if (by_bound && waiting_ && waiting_->SomeoneWaits())
      give_way_until_ = Clock::now() + kWriteBatchGiveWay;
  }

  void EndLocked(std::unique_lock<std::mutex>& lock, bool raise) {
    if (--depth_ > 0) return;
    if (!sqlite_) {
      if (postgres_) Setting("reset synchronous_commit");
      return;
    }
    stop_ = true;
    cv_.notify_all();
    std::thread timer = std::move(timer_);
    lock.unlock();
    if (timer.joinable()) timer.join();
    lock.lock();
    if (!open_) return;
    try {
      CommitLocked(/*by_bound=*/false);
    } catch (...) {
      if (raise) throw;
    }
  }

  // A session setting of the report connection: only a matter of speed,
  // so a connection that was lost on the way does not fail the call.
  void Setting(std::string_view statement) {
    try {
      inner_->Execute(statement, {}, nullptr, SIZE_MAX, {});
    } catch (const RuntimeError&) {
    }
  }

  // Commits a batch held past the bound while the component is busy with
  // something else.
  void TimerLoop() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stop_) {
      if (!open_) {
        cv_.wait(lock);
        continue;
      }
      const Clock::time_point due = opened_at_ + kWriteBatchBound;
      if (Clock::now() < due) {
        cv_.wait_until(lock, due);
        continue;
      }
      try {
        CommitLocked(/*by_bound=*/true);
      } catch (const RuntimeError&) {
        // The end of the marks commits again and raises the error.
        if (open_) cv_.wait_for(lock, kWriteBatchBound);
      }
    }
  }

  std::shared_ptr<Database> inner_;
  const bool sqlite_;
  const bool postgres_;  // neither: a server behind ODBC that the host does not know
  std::unique_ptr<WaitingWriters> waiting_;  // SQLite files only
  std::mutex mu_;
  std::condition_variable cv_;
  int depth_ = 0;                // nesting of the marks
  bool open_ = false;            // a batch (transaction) is open
  bool stop_ = false;            // the timer is to end
  Clock::time_point opened_at_{};
  Clock::time_point give_way_until_{};
  std::thread timer_;
};

std::shared_ptr<Database> WithWriteBatching(std::shared_ptr<Database> db) {
  return std::make_shared<BatchingDatabase>(std::move(db));
}

WriteBatch::WriteBatch(const Object& host_lib)
    : WriteBatch(DatabaseOf(host_lib, "write batching")) {}

WriteBatch::WriteBatch(const std::shared_ptr<Database>& db)
    : db_(std::dynamic_pointer_cast<BatchingDatabase>(db)) {
  if (db_) db_->Begin();
}

WriteBatch::~WriteBatch() {
  if (db_) db_->End(/*raise=*/false);
}

void WriteBatch::End() {
  if (!db_) return;
  const std::shared_ptr<BatchingDatabase> db = std::move(db_);
  db->End(/*raise=*/true);
}

}  // namespace qev::host
