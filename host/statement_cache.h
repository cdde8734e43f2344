// A small least-recently-used cache of prepared statements keyed by their
// SQL text, so that the insert, select and update texts a report repeats for
// every source row are prepared once. Each engine keeps its own kind of
// prepared statement in it (a sqlite3_stmt, an ODBC statement handle with
// its bound buffers), held by a unique_ptr that releases it.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qev::host {

// The prepared statements each engine connection keeps.
inline constexpr size_t kStatementCacheSize = 64;

template <typename Ptr>
class BasicStatementCache {
 public:
  using Pointer = typename Ptr::pointer;

  explicit BasicStatementCache(size_t capacity) : capacity_(capacity) {}
  BasicStatementCache(const BasicStatementCache&) = delete;
  BasicStatementCache& operator=(const BasicStatementCache&) = delete;

  // The statement prepared for `sql`, now the most recently used; nullptr
  // when it is not cached.
  Pointer Find(std::string_view sql) {
    auto it = index_.find(sql);
    if (it == index_.end()) return nullptr;
    if (it->second != lru_.begin()) lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->stmt.get();
  }

  // Adds a statement (the least recently used one is released when the
  // cache is full) and returns it. With no room at all the statement is
  // released and nullptr comes back.
  Pointer Insert(std::string_view sql, Ptr stmt) {
    if (capacity_ == 0) return nullptr;
    while (lru_.size() >= capacity_) {
      index_.erase(std::string_view(lru_.back().sql));
      lru_.pop_back();
    }
    lru_.push_front(Entry{std::string(sql), std::move(stmt)});
    index_.emplace(std::string_view(lru_.front().sql), lru_.begin());
    return lru_.front().stmt.get();
  }

  // Releases every statement.
  void Clear() {
    index_.clear();
    lru_.clear();
  }

  size_t size() const { return lru_.size(); }

 private:
  struct Entry {
    std::string sql;
    Ptr stmt;
  };
  size_t capacity_;
  std::list<Entry> lru_;  // most recently used first
  // Keys view the Entry's own text; list nodes never move.
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};

// The SQLite engine's statements.
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

}  // namespace qev::host
