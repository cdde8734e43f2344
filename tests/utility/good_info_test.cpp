// The good-info object over the real host services on both engines, traced:
// the lookup statement, the recordset closed after every lookup, names,
// Nulls and quotes, and errors passed through.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/host.h"
#include "host/trace.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"
#include "tests/support/backend.h"
#include "tests/support/late_bound.h"
#include "utility/activex_lib.h"

namespace qev::utility {
namespace {

using namespace qev::testing;

class GoodInfoTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    dbs_ = std::make_unique<TestDatabases>(GetParam(), dir_);
    if (!dbs_->available()) GTEST_SKIP() << dbs_->why();
    inner_ = host::CreateHostLib(dbs_->Create("host"), "WS1");
    Exec("create table qev_pub_good (id varchar(20) primary key, name text, spec text, "
         "unitname text, price float)");
    Exec("insert into qev_pub_good values ('G001','Aspirin','100mg*20','box',3.5),"
         "('G002','Saline',null,null,1),('G''3','O''Brien''s salve','50 g','tube',2),"
         "('17','Gauze','5 m','roll',0.4)");
    Exec("create view qev_pub_Good_V as select id, name as Name, spec, unitname as UnitName, "
         "price from qev_pub_good");
    host_ = host::TraceObject(inner_, "host", log_, {{"DbA_Query0_Obj", "query"}, {"OpenRs", "rs"}});
    info_ = Call(activex_, "Create_Good_Info_Class");
    Set(info_, "Global_Lib_Obj", host_);
  }
  void TearDown() override {
    info_ = Variant();
    host_.reset();
    inner_.reset();
    dbs_.reset();
  }

  void Exec(const std::string& sql) const {
    Call(Get(Variant(inner_), "DbA_Query0_Obj"), "Exec", Variant(sql));
  }
  bool Check(const Variant& id) {
    Variant v = id;
    return Call(info_, "CheckInfo", ByRef{v}).ToBool();
  }
  std::string Field(const std::string& name) {
    Variant v(name);
    return Call(info_, "Field", ByRef{v}).ToText();
  }
  // "Name,spec,UnitName,id" of the good last looked up.
  std::string Fields() { return Field("NAME") + "," + Field("Spec") + "," + Field("unitname") + "," + Field("ID"); }
  // The statements sent, and whether every recordset opened was closed.
  std::vector<std::string> Statements(bool* all_closed) const {
    std::vector<std::string> out;
    int open = 0;
    for (const auto& rec : log_->records()) {
      if (rec.object == "query" && rec.member == "OpenRs") out.push_back(rec.args[0].ToText()), ++open;
      if (rec.object == "rs" && rec.member == "Close") --open;
    }
    *all_closed = open == 0;
    return out;
  }
  static std::string LookupSql(const std::string& quoted_id) {
    return "select id,Name,spec,UnitName from qev_pub_Good_V where id='" + quoted_id + "'";
  }

  TempDir dir_;
  std::unique_ptr<TestDatabases> dbs_;
  std::shared_ptr<host::TraceLog> log_ = std::make_shared<host::TraceLog>();
  Object inner_, host_;
  Variant activex_ = Variant(NewActiveXLib());
  Variant info_;
};
INSTANTIATE_TEST_SUITE_P(Backends, GoodInfoTest, AllBackends(), BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, GoodInfoTest, OdbcBackends(), BackendTestName);

TEST_P(GoodInfoTest, LooksGoodsUpThroughTheHostQueryObject) {
  EXPECT_TRUE(Check(Variant("G001")));
  EXPECT_EQ(Fields(), "Aspirin,100mg*20,box,G001");
  // Null columns give empty text; an unknown good leaves nothing of the
  // previous one; a quote in the id is doubled, a lone quote is an unknown
  // good; a numeric id (a field value) reads as text.
  EXPECT_TRUE(Check(Variant("G002")));
  EXPECT_EQ(Fields(), "Saline,,,G002");
  EXPECT_FALSE(Check(Variant("G999")));
  EXPECT_EQ(Fields(), ",,,");
  EXPECT_TRUE(Check(Variant("G'3")));
  EXPECT_EQ(Fields(), "O'Brien's salve,50 g,tube,G'3");
  EXPECT_FALSE(Check(Variant("'")));
  EXPECT_TRUE(Check(Variant(int32_t{17})));
  EXPECT_EQ(Fields(), "Gauze,5 m,roll,17");
  bool closed = false;
  EXPECT_EQ(Statements(&closed),
            (std::vector<std::string>{LookupSql("G001"), LookupSql("G002"), LookupSql("G999"),
                                      LookupSql("G''3"), LookupSql("''"), LookupSql("17")}));
  EXPECT_TRUE(closed);
  // A column of the view that is no attribute of the object.
  const CaughtError e = ErrorOf([&] { Field("price"); });
  EXPECT_EQ(e.number, kErrInvalidArgument);
  EXPECT_NE(e.description.find("\"price\""), std::string::npos) << e.description;
  EXPECT_EQ(e.source, "qevActiveXLib.Good_Info_Class");
}

TEST_P(GoodInfoTest, HostObjectByReferenceAndErrorsPassedThrough) {
  EXPECT_EQ(Get(info_, "Global_Lib_Obj").object(), host_);
  EXPECT_EQ(ErrorNumberOf([&] { Let(info_, "Global_Lib_Obj", Variant("host")); }), kErrNoMember);
  // Without a host object: error 91, nothing sent.
  const Variant fresh = Call(activex_, "Create_Good_Info_Class");
  Variant id("G001");
  EXPECT_EQ(ErrorNumberOf([&] { Call(fresh, "CheckInfo", ByRef{id}); }), kErrObjectNotSet);
  Set(info_, "Global_Lib_Obj", nullptr);
  EXPECT_EQ(ErrorNumberOf([&] { Check(Variant("G001")); }), kErrObjectNotSet);
  EXPECT_TRUE(log_->records().empty());
  // The database's error, and a failed lookup forgets the previous good.
  Set(info_, "Global_Lib_Obj", host_);
  ASSERT_TRUE(Check(Variant("G001")));
  Exec("drop view qev_pub_Good_V");
  EXPECT_EQ(ErrorNumberOf([&] { Check(Variant("G001")); }), kErrDatabase);
  EXPECT_EQ(Field("Name"), "");
}

}  // namespace
}  // namespace qev::utility
