// A report database and three source databases (separate SQLite files)
// for the month stock ledger: the ledger's report tables, the goods
// catalogue and the departments in the report database, stock movements
// and the ledger's source view in each source database. Stock rows are
// written to the sources and remembered, so that a test can work out the
// expected ledger on its own.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/variant.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {

// One stock row as written to kc_move.
struct Move {
  int id = 0;
  std::string good, type, store, from, date;
  double qty = 0, rate = 1;
};

// One row of the ledger detail table as the tests compare it.
struct DetailRow {
  std::string good, type, store, from, date;
  double rk = 0, ck = 0, end = 0;
  bool rk_null = false, ck_null = false;
  int sn = 0;
};

class LedgerFixture : public ::testing::Test {
 public:
  static void SetUpTestSuite();
  void SetUp() override;

  Variant Query0() const;
  Variant Source(int k) const { return Variant(sources_[k - 1]); }
  void ExecReport(const std::string& sql) const;
  void ExecSource(int k, const std::string& sql) const;
  void SetWorkstation(const std::string& ws) const;

  // Writes the move to kc_move of source k and remembers it.
  void AddMove(int k, const Move& m);

  // A new ledger with the host object, rpt_kc_zz_v, rpt_kc_zz and
  // rpt_kc_zz_detail.
  Variant NewLedger(const std::string& cond = "") const;
  // CalcuRpt(SourceNum, the first `passed` sources).
  void Calcu(const Variant& report, int16_t source_num, int passed) const;

  // The workstation's summary rows keyed by nameid (name while unfilled).
  std::map<std::string, std::map<std::string, Variant>> Summary(
      const std::string& ws = "WS1") const;
  // The workstation's detail rows ordered by goodid and Sn.
  std::vector<DetailRow> Detail(const std::string& ws = "WS1") const;

  // The ledger worked out here from the remembered moves that `keep`
  // accepts: opening rows, movements numbered in (date, numeric id) order,
  // month totals numbered on in order of each good's first row, and the
  // summary quantities per good (QcQty, RkQty, CkQty, EndQty; NaN where the
  // ledger leaves the column Null).
  struct Expected {
    std::vector<DetailRow> detail;  // ordered by good and Sn
    std::map<std::string, std::vector<double>> summary;
  };
  Expected ExpectedLedger(const std::function<bool(const Move&)>& keep = nullptr) const;

  TempDir dir_;
  Object host_;
  std::vector<Object> sources_;
  std::vector<Move> moves_;  // in the order written, over all sources
};

// The base quantity of a move as the ledger counts it: rounded to 2
// decimals, half away from zero.
double BaseQty(const Move& m);
// A numeric column of a row, NaN for Null (so that comparing it with a
// number fails).
double Num(const std::map<std::string, Variant>& row, const std::string& column);
// a == b, where NaN equals NaN (a column left Null).
bool SameQty(double a, double b);

void ExpectSameLedger(const LedgerFixture::Expected& want, const std::vector<DetailRow>& got,
                      const std::map<std::string, std::map<std::string, Variant>>& summary);

}  // namespace qev::testing
