// Commands that set things up rather than calculate:
//   rptcalc schema --db DB       the fixed tables, the report tables and the
//                                source tables and views, on a new or an
//                                existing database (idempotent);
//   rptcalc register|unregister  the component libraries' self-registration
//                                in the class registry.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace rptcalc {

int CreateSchema(const std::string& db, std::ostream& out, std::ostream& err);

// Prints the fixed tables and every schema script, statement by statement,
// in the dialect of `db` (SQLite for a file, PostgreSQL for a PostgreSQL or
// ODBC database and for ""), without opening it: the start of a schema made
// by hand on a server rptcalc has no scripts for.
int PrintSchema(const std::string& db, std::ostream& out);

// Applies every shipped schema script through a query object (a tracing
// proxy of one will do); returns the script names in the order applied.
std::vector<std::string> ApplyAllSchemaScripts(const std::string& db);

int RegisterLibraries(bool unregister, std::ostream& out, std::ostream& err);

// The component libraries rptcalc registers, as found: next to the rptcalc
// executable first, else where the build put them.
struct ComponentLibrary {
  std::string file_name;  // "libqevRptCalLib.so"
  std::string path;       // "" when not found
};
std::vector<ComponentLibrary> FindComponentLibraries();

}  // namespace rptcalc
