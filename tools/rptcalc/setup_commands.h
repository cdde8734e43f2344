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
