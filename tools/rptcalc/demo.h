// `rptcalc demo`: builds a deterministic demo hospital (a report database
// and the databases of two campuses as sources, with goods, departments,
// doctors, suppliers and a month of dispensing, stock movements, inpatient
// charges of goods, outpatient charges and registrations, and three days of
// the cashiers' settlements) and runs every goods report, the month stock
// ledger, the charge reports by category and day by day, the registrations
// by department and day and the purchase price listing over the two
// sources, then the cashiers' daily sheet of one day over both campuses and
// the insurance daily sheet of each campus.
#pragma once

#include <iosfwd>
#include <string>

namespace rptcalc {

struct DemoOptions {
  std::string db = "demo/hospital.db";  // the report database; sources beside it
  int scale = 1;                         // multiplies the volume of rows
  bool progress = false;                 // progress lines on `err`
};

// The three files of a demo whose report database is `db`:
// <dir>/<stem>.db, <dir>/<stem>_source1.db, <dir>/<stem>_source2.db.
struct DemoFiles {
  std::string report, source1, source2;
};
DemoFiles DemoFilesFor(const std::string& db);

// The number of goods at `scale`: grows with the scale up to a cap that
// keeps every report far below the 32,767 rows its row loops can count.
int DemoGoodsCount(int scale);

// The largest scale whose data every demo report can hold: beyond it the
// outpatient charges of one category report pass the 32,767 rows that a
// report's 16-bit counters allow (the limit is reached at 23).
inline constexpr int kDemoMaxScale = 20;
inline constexpr int kDemoMaxGoods = 1200;

// The month the demo data cover, and the condition the showcase uses.
inline constexpr const char* kDemoMonthCond =
    "iDate>={d '2024-03-01'} and iDate<{d '2024-04-01'}";
// The cashiers' day the daily sheets show (the sources hold the day before
// and after it as well).
inline constexpr const char* kDemoCashierDay = "2024-03-15";
inline constexpr const char* kDemoCashierDayCond =
    "iDate>={d '2024-03-15'} and iDate<{d '2024-03-16'}";

// Builds the three databases, replacing an earlier demo at the same place
// (a file that is not a demo database is never replaced: UsageError).
// Same scale, same data, always.
void BuildDemoDatabases(const DemoFiles& files, int scale, std::ostream& err, bool progress);

// Builds the databases, then runs and prints the showcase. Returns the
// exit status.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rptcalc
