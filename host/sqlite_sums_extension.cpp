// A SQLite loadable extension with the host's exact sum() and total(), for
// SQLite databases reached through the SQLite ODBC driver: the host holds no
// handle of that connection, so the ODBC engine names this module in the
// driver's LoadExt attribute, and sums there are the same as on the native
// SQLite engine.
#include <sqlite3.h>

#include "host/exact_sum.h"

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(
    sqlite3* db, char** error, const void* /*api: the driver and this module share libsqlite3*/) {
  const int rc = qev::host::RegisterExactSums(db);
  if (rc != SQLITE_OK && error != nullptr)
    *error = sqlite3_mprintf("exact sums not registered: %s", sqlite3_errstr(rc));
  return rc;
}
