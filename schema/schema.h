// The database schema that ships with the library, as SQL scripts compiled
// into it: the source tables and views and the report tables of each report
// family, for a host that sets up a database of its own (and for the
// tests and the demo).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace qev::schema {

// The names of the scripts, e.g. "goods_sources", "goods_reports".
std::vector<std::string> ScriptNames();

// The statements of one script, split at the semicolons that end a line.
// Raises kErrBadStatement for an unknown name.
std::vector<std::string> Statements(std::string_view script);

// Runs one script through the Exec member of a query object, statement by
// statement. Every statement creates only what is missing, so a script can
// run again.
void Apply(const Variant& query_obj, std::string_view script);

}  // namespace qev::schema
