#include "host/calculation.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <thread>
#include <vector>

#include "host/database.h"
#include "host/host_lib.h"
#include "host/query_object.h"
#include "host/sql_text.h"
#include "host/trace.h"
#include "host/write_batch.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

namespace {

constexpr const char* kSource = "qev.HostCalculation";

// The report database behind a host library object, and its workstation.
std::shared_ptr<Database> ReportDatabaseOf(const Object& host_lib, std::string* workstation) {
  HostLib* lib = AsHostLib(host_lib);
  if (lib == nullptr)
    Raise(kErrBadStatement, "a calculation needs a host library object of this library", kSource);
  if (workstation) *workstation = lib->computer_name();
  return DatabaseOf(host_lib, "a calculation");
}

// The lock key of a pair: table names compare without regard to case,
// workstation names exactly.
std::string LockKey(std::string_view rpttab, std::string_view workstation) {
  return ToLowerAscii(rpttab) + "\n" + std::string(workstation);
}

uint64_t Fnv1a(std::string_view text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// `sql` with each '?' replaced by the engine's parameter marker.
std::string WithMarkers(const Database& db, std::string_view sql) {
  std::string out;
  int index = 0;
  for (char c : sql) {
    if (c == '?') {
      db.AppendParamMarker(&out, ++index);
    } else {
      out += c;
    }
  }
  return out;
}

void Run(Database& db, std::string_view sql, std::vector<SqlParam> params,
         ResultTable* result = nullptr) {
  db.Execute(WithMarkers(db, sql), params, result);
}

}  // namespace

// The lock of one (report table, workstation) pair, not yet taken.
class CalculationLock {
 public:
  virtual ~CalculationLock() = default;
  // Takes the lock without waiting; false while someone else holds it.
  virtual bool TryTake() = 0;

  static std::unique_ptr<CalculationLock> For(const std::shared_ptr<Database>& db, const std::string& key);
};

namespace {

// One byte of "<database>-calc", locked through an open file description
// of its own: such a lock conflicts with every other description, in this
// process or another, and goes with the descriptor (closed at the latest
// when the process dies).
class FileByteLock final : public CalculationLock {
 public:
  FileByteLock(std::string path, uint64_t hash) : path_(std::move(path)) {
    offset_ = static_cast<off_t>(hash >> 2);  // positive, far below the off_t limit
  }
  ~FileByteLock() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool TryTake() override {
    if (fd_ < 0) {
      fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd_ < 0)
        Raise(kErrDatabase,
              "Cannot open the calculation lock file '" + path_ + "': " + std::strerror(errno),
              kSource);
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset_;
    fl.l_len = 1;
    if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    Raise(kErrDatabase,
          "Cannot lock the calculation lock file '" + path_ + "': " + std::strerror(errno),
          kSource);
  }

 private:
  std::string path_;
  off_t offset_ = 0;
  int fd_ = -1;
};

// A session advisory lock of the report database's connection, released
// with the session when the process or the connection ends.
class AdvisoryLock final : public CalculationLock {
 public:
  AdvisoryLock(std::shared_ptr<Database> db, std::string key) : db_(std::move(db)), key_(std::move(key)) {}
  ~AdvisoryLock() override {
    if (!held_) return;
    try {
      Run(*db_, "select pg_advisory_unlock(hashtextextended(?, 0))", {SqlParam::Text(key_)});
    } catch (...) {
      // The server drops the lock with the session at the latest.
    }
  }

  bool TryTake() override {
    ResultTable r;
    Run(*db_, "select case when pg_try_advisory_lock(hashtextextended(?, 0)) then 1 else 0 end",
        {SqlParam::Text(key_)}, &r);
    held_ = r.row_count == 1 && r.at(0, 0).ToInt32() == 1;
    return held_;
  }

 private:
  std::shared_ptr<Database> db_;
  std::string key_;
  bool held_ = false;
};

// A private in-memory database cannot be reached by anyone else.
class NoLock final : public CalculationLock {
 public:
  bool TryTake() override { return true; }
};

}  // namespace

std::unique_ptr<CalculationLock> CalculationLock::For(const std::shared_ptr<Database>& db,
                                                          const std::string& key) {
  if (db->engine() == "postgresql") return std::make_unique<AdvisoryLock>(db, key);
  if (db->engine() == "odbc") {
    // Another server behind an ODBC driver offers no lock this library
    // knows: a lock file of this machine, named by the connection, guards
    // the workstations calculating from here (a terminal server's users).
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qev-odbc-" + std::to_string(Fnv1a(db->connection())))).string();
    return std::make_unique<FileByteLock>(path + "-calc", Fnv1a(key));
  }
  const std::string path = db->LockFilePath();
  if (path.empty() || path == ":memory:" || path.starts_with("file::memory:"))
    return std::make_unique<NoLock>();
  return std::make_unique<FileByteLock>(path + "-calc", Fnv1a(key));
}

Calculation::Calculation(const Object& host_lib, std::string rpttab, std::chrono::milliseconds wait)
    : db_(ReportDatabaseOf(host_lib, &workstation_)), rpttab_(ToLowerAscii(rpttab)) {
  lock_ = CalculationLock::For(db_, LockKey(rpttab_, workstation_));
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!lock_->TryTake()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      Raise(kErrCalculationBusy,
            "Workstation '" + workstation_ + "' is already calculating the report table '" +
                rpttab + "'; waited " + std::to_string(wait.count() / 1000.0).substr(0, 5) +
                " s for it to finish",
            kSource);
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(20), deadline - now));
  }

  const std::string started = Now();
  const std::vector<SqlParam> params = {SqlParam::Text(rpttab_), SqlParam::Text(workstation_),
                                        SqlParam::Text(started)};
  static constexpr std::string_view kInsert =
      "insert into qev_calculation (rpttab,computer,started,outcome) values (?,?,?,'running') "
      "returning id";
  ResultTable r;
  try {
    Run(*db_, kInsert, params, &r);
  } catch (const RuntimeError&) {
    // A database set up before calculations were recorded: add the table.
    for (const std::string& statement : SplitStatements(db_->FixedTablesDdl()))
      db_->Execute(statement, {}, nullptr);
    Run(*db_, kInsert, params, &r);
  }
  if (r.row_count == 1) id_ = static_cast<int64_t>(r.at(0, 0).ToDouble());
  // The record is committed; the calculation's own writes are batched.
  batch_ = std::make_unique<WriteBatch>(db_);
}

Calculation::~Calculation() {
  if (!finished_) {
    try {
      Finish("failed", 0, "the calculation ended without an outcome");
    } catch (...) {
      // The record stays "running"; with the lock gone it reads as interrupted.
    }
  }
}

void Calculation::Succeeded() { Finish("ok", 0, ""); }

void Calculation::Failed(int32_t number, std::string_view description) {
  Finish("failed", number, description);
}

void Calculation::Finish(std::string_view outcome, int32_t number, std::string_view description) {
  finished_ = true;
  // The rows first: the outcome must not be seen before them.
  std::exception_ptr commit_error;
  std::string commit_description;
  if (batch_) {
    try {
      batch_->End();
    } catch (const RuntimeError& e) {
      commit_error = std::current_exception();
      outcome = "failed";
      number = e.number();
      commit_description = e.description();
      description = commit_description;
    }
    batch_.reset();
  }
  const std::string finished = Now();
  const std::string num = std::to_string(number);
  const std::string id = std::to_string(id_);
  Run(*db_, "update qev_calculation set finished=?, outcome=?, errnumber=?, errtext=? where id=?",
      {SqlParam::Text(finished), SqlParam::Text(outcome),
       number ? SqlParam::Text(num) : SqlParam::Null(),
       description.empty() ? SqlParam::Null() : SqlParam::Text(description), SqlParam::Text(id)});
  if (commit_error) std::rethrow_exception(commit_error);
}

std::string_view CalculationStateName(CalculationState::Kind kind) {
  switch (kind) {
    case CalculationState::kNone: return "none";
    case CalculationState::kSucceeded: return "ok";
    case CalculationState::kFailed: return "failed";
    case CalculationState::kInterrupted: return "interrupted";
    case CalculationState::kRunning: return "running";
  }
  return "none";
}

CalculationState LastCalculation(const Object& host_lib, std::string_view rpttab,
                                 std::string_view workstation) {
  return LastCalculation(ReportDatabaseOf(host_lib, nullptr), rpttab, workstation);
}

CalculationState LastCalculation(const std::shared_ptr<Database>& db, std::string_view rpttab,
                                 std::string_view workstation) {
  CalculationState state;
  if (!db->IsTextColumn("qev_calculation", "rpttab")) return state;  // nothing recorded yet
  const std::string table = ToLowerAscii(rpttab);
  ResultTable r;
  Run(*db,
      "select started,finished,outcome,errnumber,errtext from qev_calculation "
      "where rpttab=? and computer=? order by id desc limit 1",
      {SqlParam::Text(table), SqlParam::Text(workstation)}, &r);
  if (r.row_count == 0) return state;
  state.started = ConcatText(r.at(0, 0));
  state.finished = ConcatText(r.at(0, 1));
  const std::string outcome = ConcatText(r.at(0, 2));
  state.number = r.at(0, 3).IsNull() ? 0 : r.at(0, 3).ToInt32();
  state.description = ConcatText(r.at(0, 4));
  if (outcome == "ok") {
    state.kind = CalculationState::kSucceeded;
  } else if (outcome == "failed") {
    state.kind = CalculationState::kFailed;
  } else {
    // Started and not finished: running while someone holds the lock.
    auto lock = CalculationLock::For(db, LockKey(table, workstation));
    state.kind = lock->TryTake() ? CalculationState::kInterrupted : CalculationState::kRunning;
  }
  return state;
}

}  // namespace qev::host
