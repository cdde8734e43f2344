// Commands that set things up rather than calculate:
//   rptcalc schema --db DB       the fixed tables, the report tables and the
//                                source tables and views, on a new or an
//                                existing database: only what is missing is
//                                created, one line an object says what was
//                                created and what was found;
//   rptcalc register|unregister  the component libraries' self-registration
//                                in the class registry.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace rptcalc {

// report_only: the fixed tables, the report tables and the sequence only,
// for a database whose lookups and sources are the hospital's own.
int CreateSchema(const std::string& db, bool report_only, std::ostream& out, std::ostream& err);

// Prints the fixed tables and every schema script, statement by statement,
// in the dialect of `db` (SQLite for a file, PostgreSQL for a PostgreSQL or
// ODBC database and for ""), without opening it: the start of a schema made
// by hand on a server rptcalc has no scripts for.
int PrintSchema(const std::string& db, std::ostream& out);


int RegisterLibraries(bool unregister, std::ostream& out, std::ostream& err);

// The component libraries rptcalc registers, as found: next to the rptcalc
// executable, or in the library directory of an installed tree beside its
// own, else where the build put them.
struct ComponentLibrary {
  std::string file_name;  // "libqevRptCalLib.so"
  std::string path;       // "" when not found
};
std::vector<ComponentLibrary> FindComponentLibraries();

}  // namespace rptcalc
