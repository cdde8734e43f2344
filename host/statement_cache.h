// A small least-recently-used cache of prepared SQLite statements keyed by
// their SQL text, so that the insert, select and update texts a report
// repeats for every source row are prepared once.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qev::host {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

class StatementCache {
 public:
  explicit StatementCache(size_t capacity) : capacity_(capacity) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The statement prepared for `sql`, now the most recently used; nullptr
  // when it is not cached.
  sqlite3_stmt* Find(std::string_view sql);

  // Adds a statement (the least recently used one is finalized when the
  // cache is full) and returns it.
  sqlite3_stmt* Insert(std::string_view sql, StatementPtr stmt);

  // Finalizes every statement.
  void Clear();

  size_t size() const { return lru_.size(); }

 private:
  struct Entry {
    std::string sql;
    StatementPtr stmt;
  };
  size_t capacity_;
  std::list<Entry> lru_;  // most recently used first
  // Keys view the Entry's own text; list nodes never move.
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

}  // namespace qev::host
