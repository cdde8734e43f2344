#include "host/statement_cache.h"

namespace qev::host {

sqlite3_stmt* StatementCache::Find(std::string_view sql) {
  auto it = index_.find(sql);
  if (it == index_.end()) return nullptr;
  if (it->second != lru_.begin()) lru_.splice(lru_.begin(), lru_, it->second);
  return it->second->stmt.get();
}

sqlite3_stmt* StatementCache::Insert(std::string_view sql, StatementPtr stmt) {
  if (capacity_ == 0) return nullptr;
  while (lru_.size() >= capacity_) {
    index_.erase(std::string_view(lru_.back().sql));
    lru_.pop_back();
  }
  lru_.push_front(Entry{std::string(sql), std::move(stmt)});
  index_.emplace(std::string_view(lru_.front().sql), lru_.begin());
  return lru_.front().stmt.get();
}

void StatementCache::Clear() {
  index_.clear();
  lru_.clear();
}

}  // namespace qev::host
