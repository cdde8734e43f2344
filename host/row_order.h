// One order for the rows of a statement that names none.
//
// A select without "order by" may hand out its rows in any order, and the
// engines do differ: SQLite returns groups sorted by their key, PostgreSQL
// in the order of its hash table or of the rows' places on disk after
// updates. The reports merge the rows they read into running figures in
// binary arithmetic and number the rows they write in reading order, so
// the same data gave different last digits and different numbering on the
// two engines. The host therefore hands out the rows of every statement
// without a top-level "order by" sorted by their values, column after
// column, in one order that is the same on every engine and under every
// collation: NULL first, then numbers by value, dates by value, texts by
// their bytes (UTF-8, so by code point). A statement with "order by"
// keeps the engine's order.
#pragma once

#include <string_view>

#include "host/database.h"

namespace qev::host {

// True when `sql` has an "order by" outside parentheses, quotes and
// comments (an ordered subquery does not count).
bool HasTopLevelOrderBy(std::string_view sql);

// Sorts the rows of `table` by their values (stable: rows alike in every
// column keep their order).
void SortRowsByValue(ResultTable* table);

// What the engines call after materialising a result: sorts it unless
// the statement orders its rows itself.
inline void OrderUnorderedRows(std::string_view sql, ResultTable* table) {
  if (table != nullptr && table->row_count > 1 && !HasTopLevelOrderBy(sql)) SortRowsByValue(table);
}

}  // namespace qev::host
