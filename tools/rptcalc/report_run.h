// `rptcalc run`: creates one report component, hands it the host objects
// of the report database and the source databases, sets its properties,
// calculates, makes the requested calls and prints what the calculation
// left for the workstation.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/catalogue.h"
#include "tools/rptcalc/report_output.h"

namespace rptcalc {

struct RunOptions {
  std::string class_name;            // class name, ProgID or {CLSID}
  std::string db;                    // the report database (DbA_Query0_Obj)
  std::vector<std::string> sources;  // QueryDb1..3; none: the report database
  std::optional<int> source_num;     // default: the number of sources (1 when none)
  std::string workstation;           // ComputerName; empty: the host name
  std::vector<std::string> sets;     // "NAME=VALUE", in order
  std::vector<std::string> descs;    // "LABEL=VALUE", appended to RptDesc
  bool init = false;                 // RptInit instead of CalcuRpt
  bool no_calc = false;              // neither
  std::vector<std::string> calls;    // "MEMBER[=ARG,...]", in order
  OutputFormat format = OutputFormat::kTable;
  std::string trace_path;            // empty: no trace
  double wait_seconds = 60;          // how long to wait for the same workstation's
                                     // calculation of the same table to finish
  double timeout_seconds = 0;        // longest a statement may run; 0: no bound
};

// Runs the report and writes its output to `out`, messages to `err`.
// Returns the exit status (status.h). Nothing is written to `out`, and no
// trace file is created, when the command line is refused; a component
// error prints no rows but keeps the trace of the calls made until then.
int RunReport(const RunOptions& options, std::ostream& out, std::ostream& err);

// The catalogue class named by a class name, a ProgID or a CLSID (letter
// case ignored; the CLSID with or without braces); nullptr when none.
const qev::frame::ClassSpec* ResolveClass(std::string_view name);

// A table that a class writes for a workstation besides its RptTab and
// RptDetailTab (the daily sheets' fixed tables): its name, a condition on
// its rows beside the workstation's ("" for none) and the columns its rows
// are shown in order of ("" for the order in which they were written).
struct FixedTable {
  std::string name;
  std::string cond;
  std::string order;
};
std::vector<FixedTable> FixedTablesOf(std::string_view class_name);

// The report table whose calculation lock and record a run of the class
// uses: its RptTab, else its first fixed table, else the class name.
std::string CalculationTable(const qev::frame::ClassSpec& spec, const std::string& rpttab);

// This machine's host name, the default workstation name.
std::string HostName();

// Replaces line breaks by blanks, for one-line messages.
std::string OneLine(std::string_view text);

}  // namespace rptcalc
