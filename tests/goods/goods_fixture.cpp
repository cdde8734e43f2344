#include "tests/goods/goods_fixture.h"

#include <cmath>
#include <limits>

#include "frame/registration.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace qev::testing {

void RegisterGoodsClasses() {
  frame::RegisterLinkedClasses();
  utility::RegisterLinkedClasses();
}

GoodsDatabases::GoodsDatabases(Backend backend, const TempDir& dir, const std::string& workstation)
    : dbs_(backend, dir), workstation_(workstation) {}

void GoodsDatabases::Create() {
  report_ = dbs_.Create("report");
  host_ = host::CreateHostLib(report_, workstation_);
  const Variant q0 = Get(Variant(host_), "DbA_Query0_Obj");
  host::CreateFixedTables(q0.object());
  schema::Apply(q0, "goods_reports");
  schema::Apply(q0, "goods_sources");  // the goods catalogue lives here too
  Call(q0, "Exec", Variant(kGoodsCatalogue));
  for (int k = 1; k <= 3; ++k) {
    source_connections_.push_back(dbs_.Create("source" + std::to_string(k)));
    sources_.push_back(host::CreateQueryObj(source_connections_.back()));
    schema::Apply(Variant(sources_.back()), "goods_sources");
  }
}

void GoodsFixture::SetUpTestSuite() { RegisterGoodsClasses(); }

void GoodsFixture::SetUp() {
  dbs_ = std::make_unique<GoodsDatabases>(GetParam(), dir_);
  if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
  dbs_->Create();
  host_ = dbs_->host_;
  sources_ = dbs_->sources_;
}

void GoodsFixture::TearDown() {
  // The connections close before the databases go.
  host_.reset();
  sources_.clear();
  if (dbs_) {
    dbs_->host_.reset();
    dbs_->sources_.clear();
  }
}

Variant GoodsFixture::Query0() const { return Get(Variant(host_), "DbA_Query0_Obj"); }

void GoodsFixture::ExecReport(const std::string& sql) const {
  Call(Query0(), "Exec", Variant(sql));
}

void GoodsFixture::ExecSource(int k, const std::string& sql) const {
  Call(Source(k), "Exec", Variant(sql));
}

void GoodsFixture::SetWorkstation(const std::string& ws) const {
  Let(Get(Variant(host_), "Global_Para_Obj"), "ComputerName", Variant(ws));
}

Variant GoodsFixture::NewReport(const std::string& cls, const std::string& view,
                                const std::string& rpttab, const std::string& cond) const {
  Variant r(CreateObject("qevRptCalLib." + cls));
  Set(r, "Global_Lib_Obj", host_);
  Let(r, "SourceViewName", Variant(view));
  Let(r, "RptTab", Variant(rpttab));
  Let(r, "RptDesc", Variant(""));
  Let(r, "CondStr", Variant(cond));
  return r;
}

void GoodsFixture::Calcu(const Variant& report, int16_t source_num, int passed) const {
  ArgList args;
  args.Value(Variant(source_num));
  for (int k = 1; k <= passed; ++k) args.Value(Source(k));
  Invoke(report, "CalcuRpt", kInvokeMethod, args);
}

std::map<std::string, std::map<std::string, Variant>> GoodsFixture::RowsOf(
    const std::string& rpttab, const std::string& ws) const {
  return QueryByKey(Query0(), "select coalesce(nameid, name) as rowkey, * from " + rpttab + " where computer='" + ws + "'");
}

}  // namespace qev::testing
