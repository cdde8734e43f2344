#include "host/statement_cache.h"

namespace qev::host {

// The SQLite engine's cache is compiled once here.
template class BasicStatementCache<StatementPtr>;

}  // namespace qev::host
