#include "tests/goods/goods_fixture.h"

#include <cmath>
#include <limits>

#include "frame/registration.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace qev::testing {

void GoodsFixture::SetUpTestSuite() {
  frame::RegisterLinkedClasses();
  utility::RegisterLinkedClasses();
}

void GoodsFixture::SetUp() {
  host_ = host::CreateHostLib(dir_.File("report.db"), "WS1");
  host::CreateFixedTables(Query0().object());
  schema::Apply(Query0(), "goods_reports");
  schema::Apply(Query0(), "goods_sources");  // the goods catalogue lives here too
  ExecReport(
      "insert into qev_pub_good (id,Name,spec,UnitName) values "
      "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','布洛芬缓释胶囊','0.3g*20粒','盒'),"
      "('1003','生理盐水','500ml','瓶'),('1004','葡萄糖注射液','250ml:12.5g','瓶'),"
      "('1005','头孢克肟片',NULL,'片')");
  for (int k = 1; k <= 3; ++k) {
    sources_.push_back(host::CreateQueryObj(dir_.File("source" + std::to_string(k) + ".db")));
    schema::Apply(Source(k), "goods_sources");
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

double Num(const std::map<std::string, Variant>& row, const std::string& column) {
  auto it = row.find(column);
  if (it == row.end()) {
    ADD_FAILURE() << "no column " << column;
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (it->second.IsNull()) return std::numeric_limits<double>::quiet_NaN();
  return it->second.ToDouble();
}

bool IsNull(const std::map<std::string, Variant>& row, const std::string& column) {
  auto it = row.find(column);
  return it != row.end() && it->second.IsNull();
}

}  // namespace qev::testing
