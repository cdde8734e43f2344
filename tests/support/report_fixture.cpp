#include "tests/support/report_fixture.h"

#include <limits>

#include "frame/registration.h"
#include "frame/sql_quote.h"
#include "host/host.h"
#include "platform/value_list.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace qev::testing {

void RegisterReportClasses() {
  frame::RegisterLinkedClasses();
  utility::RegisterLinkedClasses();
}

void ReportFixture::SetUp() {
  dbs_ = std::make_unique<TestDatabases>(GetParam(), dir_);
  if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
  report_ = dbs_->Create("report");
  host_ = host::CreateHostLib(report_, "WS1");
  const Variant q0 = Query0();
  host::CreateFixedTables(q0.object());
  for (const std::string& script : ReportScripts()) schema::Apply(q0, script);
  for (int k = 1; k <= SourceCount(); ++k) {
    source_connections_.push_back(dbs_->Create("source" + std::to_string(k)));
    sources_.push_back(host::CreateQueryObj(source_connections_.back()));
    for (const std::string& script : SourceScripts())
      schema::Apply(Variant(sources_.back()), script);
  }
}

void ReportFixture::TearDown() {
  // The connections close before the databases go.
  host_.reset();
  sources_.clear();
  dbs_.reset();
}

Variant ReportFixture::Query0() const { return Get(Variant(host_), "DbA_Query0_Obj"); }

void ReportFixture::Exec(int db, const std::string& sql) const {
  Call(db == 0 ? Query0() : Source(db), "Exec", Variant(sql));
}

void ReportFixture::Insert(int db, const std::string& table, const std::string& columns,
                           const std::vector<std::string>& rows) const {
  if (rows.empty()) return;
  std::string sql = "insert into " + table + " (" + columns + ") values ";
  for (size_t i = 0; i < rows.size(); ++i) sql += (i ? ",(" : "(") + rows[i] + ")";
  Exec(db, sql);
}

void ReportFixture::SetWorkstation(const std::string& ws) const {
  Let(Get(Variant(host_), "Global_Para_Obj"), "ComputerName", Variant(ws));
}

Variant ReportFixture::NewReport(
    const std::string& cls, std::initializer_list<std::pair<std::string, Variant>> props) const {
  Variant r(CreateObject("qevRptCalLib." + cls));
  Set(r, "Global_Lib_Obj", host_);
  for (const auto& [name, value] : props) Let(r, name, value);
  return r;
}

Variant ReportFixture::CallWithSources(const Variant& report, const std::string& method,
                                       int16_t source_num, int passed) const {
  ArgList args;
  args.Value(Variant(source_num));
  for (int k = 1; k <= passed; ++k) args.Value(Source(k));
  return Invoke(report, method, kInvokeMethod, args);
}

void ReportFixture::Calcu(const Variant& report, int16_t source_num, int passed) const {
  CallWithSources(report, "CalcuRpt", source_num, passed);
}

Rows ReportFixture::RowsOf(const std::string& table, const std::string& key,
                           const std::string& ws) const {
  return QueryByKey(Query0(), "select " + key + " as rowkey, * from " + table +
                                  " where computer='" + frame::Quote(ws) + "'");
}

double Num(const Row& row, const std::string& column) {
  auto it = row.find(column);
  if (it == row.end()) {
    ADD_FAILURE() << "no column " << column;
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (it->second.IsNull()) return std::numeric_limits<double>::quiet_NaN();
  return it->second.ToDouble();
}

std::string ValueListOf(std::initializer_list<std::string> values) {
  std::string out;
  bool first = true;
  for (const std::string& v : values) {
    if (!first) out += kValueListSeparator;
    out += v;
    first = false;
  }
  return out;
}

bool IsNull(const Row& row, const std::string& column) {
  auto it = row.find(column);
  return it != row.end() && it->second.IsNull();
}

}  // namespace qev::testing
