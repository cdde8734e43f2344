// The differential test of the engines: one generated case (source data,
// a report and its properties) is run on SQLite and on PostgreSQL, and every
// row of every table the report writes must be the same on both, value for
// value (numbers to the last bit, texts byte for byte).
//
// A report takes part through one entry of Reports() (diff_reports.cpp):
// its class name and a generator that fills a Case from a seeded random
// source (usually one of the family generators there plus the report's own
// properties).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/variant.h"
#include "tests/support/backend.h"

namespace qev::testing::diff {

// One generated case, written once for both engines. Source DDL may use
// the placeholders that Expand() fills per engine; data rows are plain SQL
// that both engines read alike.
struct Case {
  std::string report;  // class name, e.g. "Rpt_Tol_Good"
  std::vector<std::pair<std::string, Variant>> props;
  int16_t source_num = 1;
  int passed = 1;  // query objects handed to CalcuRpt; -1: CalcuRpt takes no arguments

  // The report database: schema scripts (schema/<dialect>/<name>.sql)
  // after the fixed tables, then these statements (lookup rows).
  std::vector<std::string> report_scripts;
  std::vector<std::string> report_rows;

  // Each source database: these schema scripts, this DDL, then its own rows.
  std::vector<std::string> source_scripts;
  std::vector<std::string> source_ddl;
  std::vector<std::vector<std::string>> sources;

  // The tables the report writes; each is compared on the workstation's
  // rows (column "computer").
  std::vector<std::string> tables;
  // Methods called after CalcuRpt with (SourceNum, QueryDb1), whose
  // results are compared too (e.g. GetAllQty).
  std::vector<std::string> calls_after;

};

// The DDL placeholders of one engine: {num} an exact number column
// (real / numeric), {ts} a time stamp column (datetime / timestamp), {id}
// an integer key, {day} the day of iDate as a view expression.
std::string Expand(const std::string& ddl, Backend backend);

// What one engine produced: the error the calculation raised (number and
// the member that raised it; empty when none), the results of the calls
// after it and the errors the report trapped and handed to the utility
// library (number and procedure), and each table's rows as sorted texts.
struct Outcome {
  std::string error;
  std::vector<std::string> results;
  std::map<std::string, std::vector<std::string>> tables;
};

// Runs the case on one engine in fresh databases (SQLite files in a
// temporary directory, PostgreSQL schemas on the test server).
Outcome Run(const Case& c, Backend backend);

// "" when the outcomes agree, else what differs (the first few rows), the
// two sides named `first` and `second`.
std::string Compare(const Outcome& a, const Outcome& b, const std::string& first = "SQLite",
                    const std::string& second = "PostgreSQL");

// A seeded random source with the helpers the generators share.
class Gen {
 public:
  explicit Gen(uint64_t seed) : rng_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Int(0, static_cast<int>(items.size()) - 1))];
  }
  std::mt19937_64& rng() { return rng_; }

 private:
  std::mt19937_64 rng_;
};

// One report's entry: its class name and its generator.
struct ReportEntry {
  const char* name;
  std::function<Case(Gen&)> generate;
};
const std::vector<ReportEntry>& Reports();
// Their class names, in that order.
std::vector<std::string> ReportNames();

// The seed of case `n` of a report, different for every report.
uint64_t SeedOf(const std::string& report, uint64_t n);

// Runs seeds [first, first + count) of `entry` on both engines; returns
// the mismatches as texts (seed and what differs). Throws when
// PostgreSQL cannot be reached.
std::vector<std::string> RunSeeds(const ReportEntry& entry, uint64_t first, uint64_t count);

}  // namespace qev::testing::diff
