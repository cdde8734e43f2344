// The per-connection cache of which columns of a table hold text, shared by
// the database engines: an empty value goes into a text column as '' and
// into any other column as NULL. Each engine supplies the catalogue query
// that loads one table's columns; the cache keeps what it loaded until the
// engine clears it after a schema change of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ci_map.h"

namespace qev::host {

class ColumnTypeCache {
 public:
  // Column name (any case) -> true for a text column.
  using TableColumns = CiMap<bool>;

  // True when `column` of `table` is a text column; false for any other
  // column and for a table or column the database does not know. `load`
  // returns the table's columns, or nullopt when there is no such table
  // (which is not remembered, so that a table created later is found).
  template <typename Load>
  bool IsTextColumn(std::string_view table, std::string_view column, Load&& load) {
    auto it = tables_.find(table);
    if (it == tables_.end()) {
      std::optional<TableColumns> loaded = load(table);
      if (!loaded) return false;
      it = tables_.emplace(std::string(table), std::move(*loaded)).first;
    }
    auto col = it->second.find(column);
    return col != it->second.end() && col->second;
  }

  void Clear() { tables_.clear(); }

 private:
  CiMap<TableColumns> tables_;
};

}  // namespace qev::host
