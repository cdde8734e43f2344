// A report database and three source databases with the goods schema, on
// SQLite (separate files) or PostgreSQL (separate schemas of the test
// server), and the helpers the goods report tests share. The fixture is
// parametrised by the engine: each TEST_P runs on both.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/variant.h"
#include "tests/support/backend.h"
#include "tests/support/late_bound.h"
#include "tests/support/report_fixture.h"  // Num, IsNull
#include "tests/support/temp_dir.h"

namespace qev::testing {

// The goods catalogue that the report database holds in every test.
inline constexpr const char* kGoodsCatalogue =
    "insert into qev_pub_good (id,Name,spec,UnitName) values "
    "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','布洛芬缓释胶囊','0.3g*20粒','盒'),"
    "('1003','生理盐水','500ml','瓶'),('1004','葡萄糖注射液','250ml:12.5g','瓶'),"
    "('1005','头孢克肟片',NULL,'片')";

// Registers the report and utility classes linked into the test.
void RegisterGoodsClasses();

// The report database (fixed tables, goods report tables, the goods
// catalogue) and three source databases with the goods sources, on one
// engine.
class GoodsDatabases {
 public:
  GoodsDatabases(Backend backend, const TempDir& dir, const std::string& workstation = "WS1");
  bool available() const { return dbs_.available(); }
  const std::string& why() const { return dbs_.why(); }
  // Creates and fills the databases; call once, when available().
  void Create();

  Backend backend() const { return dbs_.backend(); }
  const std::string& report_connection() const { return report_; }
  const std::string& source_connection(int k) const { return source_connections_[k - 1]; }

  Object host_;
  std::vector<Object> sources_;

 private:
  TestDatabases dbs_;
  std::string workstation_;
  std::string report_;
  std::vector<std::string> source_connections_;
};

class GoodsFixture : public ::testing::TestWithParam<Backend> {
 public:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  bool pg() const { return IsPostgresDialect(GetParam()); }
  // `sqlite` on SQLite, `postgres` on PostgreSQL.
  std::string On(const std::string& sqlite, const std::string& postgres) const {
    return pg() ? postgres : sqlite;
  }

  Variant Query0() const;
  Variant Source(int k) const { return Variant(sources_[k - 1]); }
  void ExecReport(const std::string& sql) const;
  void ExecSource(int k, const std::string& sql) const;
  void SetWorkstation(const std::string& ws) const;

  // A new component of `cls` with the host object and the report table.
  Variant NewReport(const std::string& cls, const std::string& view, const std::string& rpttab,
                    const std::string& cond = "") const;
  // CalcuRpt(SourceNum, sources...) with the given number of query objects.
  void Calcu(const Variant& report, int16_t source_num, int passed) const;

  // The workstation's rows of a report table keyed by nameid (by name, the
  // good id, while the final pass has not run).
  std::map<std::string, std::map<std::string, Variant>> RowsOf(const std::string& rpttab,
                                                               const std::string& ws = "WS1") const;

  TempDir dir_;
  std::unique_ptr<GoodsDatabases> dbs_;
  Object host_;
  std::vector<Object> sources_;
};


}  // namespace qev::testing
