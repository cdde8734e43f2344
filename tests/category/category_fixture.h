// A report database and three source databases (separate SQLite files)
// with the category schema, charge lines written into the sources, and the
// figures the category reports must show, computed here from those lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/variant.h"
#include "tests/support/late_bound.h"
#include "tests/support/report_fixture.h"  // Num, IsNull
#include "tests/support/temp_dir.h"

namespace qev::testing {

// One outpatient charge line. Amounts are whole multiples of 0.5 (halves)
// so that every sum the database takes is exact.
struct Charge {
  std::string id;      // charge record
  std::string regid;   // registration
  std::string name;    // patient
  std::string day;     // yyyy-mm-dd
  std::string depa;    // department
  std::string doctor;
  std::string fpxm;    // invoice item
  std::string bbxm1;   // report item
  int64_t halves = 0;  // amount in units of 0.5
};

// What one report row must show, from the charges.
struct ExpectedRow {
  int64_t halves = 0;                       // amt
  std::map<std::string, int64_t> by_type;   // f + category id
  int qty = 0;
};

class CategoryFixture : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  void SetUp() override;

  Variant Query0() const;
  Variant Source(int k) const { return Variant(sources_[k - 1]); }
  void ExecReport(const std::string& sql) const;
  void SetWorkstation(const std::string& ws) const;

  // Writes the lines into source k and keeps them for the expectations.
  void AddCharges(int k, const std::vector<Charge>& lines);
  // `count` random lines into source k from a fixed seed: keys shared
  // between the sources, refunds, a few amounts that cancel.
  void AddRandomCharges(int k, int count, uint32_t seed);

  // A new component with the host object and the common properties.
  Variant NewReport(const std::string& cls, const std::string& rpttab,
                    const std::string& cond = "") const;
  // CalcuRpt(SourceNum, QueryDb1..QueryDb<passed>).
  void Calcu(const Variant& report, int16_t source_num, int passed) const;

  // The value of a source column of a charge line ("DepaID", "DoctorID",
  // "JzrDay", "fpxmid", "bbxm1id", "RegID", "Name", "ID").
  static std::string Column(const Charge& c, const std::string& column);
  // The counted key of a line for QtyIndex 1, 2 or 3.
  static std::string Key(const Charge& c, int qty_index);

  // The rows a report keyed by `row_field` (with category column
  // `type_field`, "" for none) must hold over sources 1..source_count: each
  // key counted once by the sign of its total over those sources.
  std::map<std::string, ExpectedRow> Expected(const std::string& row_field,
                                              const std::string& type_field, int qty_index,
                                              int source_count) const;
  // The number of keys over the whole selection (GetAllQty).
  int ExpectedAllQty(int qty_index, int source_count) const;

  // The workstation's rows of a report table keyed by nameid (by name while
  // the last pass has not run), columns in lower case.
  std::map<std::string, std::map<std::string, Variant>> RowsOf(const std::string& rpttab,
                                                               const std::string& ws = "WS1") const;
  std::vector<std::string> Text(const std::string& sql) const { return QueryText(Query0(), sql); }

  TempDir dir_;
  Object host_;
  std::vector<Object> sources_;
  std::vector<std::vector<Charge>> charges_{3};
};

// amt * 100 / total rounded to two decimals, half away from zero, as
// "0.00%" text, from exact integers.
std::string ExpectedPercent(int64_t halves, int64_t total_halves);
// halves / 2 / qty rounded to cents, half away from zero.
double ExpectedAverage(int64_t halves, int qty);

}  // namespace qev::testing
