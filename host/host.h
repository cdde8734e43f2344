// Host services: the objects a host application hands to the report
// components, over a database file.
//
// A host creates the host library object (Global_Lib_Obj) for its report
// database and one query object per source database, and may wrap any of
// them in a tracing proxy (host/trace.h). The objects themselves are
// described in host/host_lib.h, host/query_object.h and host/recordset.h.
#pragma once

#include <string>

#include "host/trace.h"
#include "platform/variant.h"

namespace qev::host {

// Opens (creating if missing) the SQLite database file `connection` and
// returns the host library object, whose Global_Para_Obj.ComputerName is
// initially `computer_name`. Raises kErrDatabase when the file cannot be
// opened.
Object CreateHostLib(const std::string& connection, const std::string& computer_name);

// A query object with a connection of its own on the database file
// `connection` (a source database QueryDb1..3).
Object CreateQueryObj(const std::string& connection);

// Creates the fixed tables (rpt_header, tem_rpt_qty, tem_rpt_kcdetail and the
// sequence table qev_sequence, with their indexes) on the database behind a
// query object of this library (a tracing proxy of one will do), statement
// by statement through its Exec. Harmless to run twice. Raises
// kErrBadStatement for an object that is not such a query object.
void CreateFixedTables(const Object& query_obj);

}  // namespace qev::host
