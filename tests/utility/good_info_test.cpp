// The good-info object over a host double backed by a real SQLite file.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/temp_dir.h"
#include "tests/utility/sqlite_host_double.h"
#include "utility/activex_lib.h"

namespace qev::utility {
namespace {

using qev::testing::HostTrace;
using qev::testing::SqliteDatabase;

int32_t Number(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

std::string LookupSql(const std::string& quoted_id) {
  return "select id,Name,spec,UnitName from qev_pub_Good_V where id='" + quoted_id + "'";
}

class GoodInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<SqliteDatabase>(dir_.File("host.db"));
    db_->Exec(
        "create table qev_pub_good (id text primary key, name text, spec text, unitname text,"
        " price real);"
        "insert into qev_pub_good values ('G001', 'Aspirin', '100mg*20', 'box', 3.5);"
        "insert into qev_pub_good values ('G002', 'Saline', null, null, 1);"
        "insert into qev_pub_good values ('G''3', 'O''Brien''s salve', '50 g', 'tube', 2);"
        "insert into qev_pub_good values (17, 'Gauze', '5 m', 'roll', 0.4);"
        "create view qev_pub_Good_V as"
        " select id, name as Name, spec, unitname as UnitName, price from qev_pub_good;");
    host_ = Variant(qev::testing::NewSqliteHost(db_.get(), trace_));
    info_ = Call(activex_, "Create_Good_Info_Class");
    Set(info_, "Global_Lib_Obj", host_.object());
  }

  bool Check(const std::string& id) {
    Variant v(id);
    return Call(info_, "CheckInfo", ByRef{v}).ToBool();
  }
  std::string Field(const std::string& name) {
    Variant v(name);
    return Call(info_, "Field", ByRef{v}).ToText();
  }

  qev::testing::TempDir dir_;
  std::unique_ptr<SqliteDatabase> db_;
  std::shared_ptr<HostTrace> trace_ = std::make_shared<HostTrace>();
  Variant activex_ = Variant(NewActiveXLib());
  Variant host_;
  Variant info_;
};

TEST_F(GoodInfoTest, KnownGoodIsReadThroughTheHostQueryObject) {
  EXPECT_TRUE(Check("G001"));
  EXPECT_EQ(Field("Name"), "Aspirin");
  EXPECT_EQ(Field("spec"), "100mg*20");
  EXPECT_EQ(Field("UnitName"), "box");
  EXPECT_EQ(Field("id"), "G001");
  ASSERT_EQ(trace_->statements.size(), 1u);
  EXPECT_EQ(trace_->statements[0], LookupSql("G001"));
  EXPECT_EQ(trace_->recordsets_opened, 1);
  EXPECT_EQ(trace_->recordsets_closed, 1);
}

TEST_F(GoodInfoTest, AttributeNamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(Check("G001"));
  EXPECT_EQ(Field("NAME"), "Aspirin");
  EXPECT_EQ(Field("Spec"), "100mg*20");
  EXPECT_EQ(Field("unitname"), "box");
  EXPECT_EQ(Field("ID"), "G001");
  try {
    Field("price");  // a column of the view, but not an attribute of the object
    ADD_FAILURE() << "unknown attribute accepted";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrInvalidArgument);
    EXPECT_NE(e.description().find("\"price\""), std::string::npos) << e.description();
    EXPECT_EQ(e.source(), "qevActiveXLib.Good_Info_Class");
  }
}

TEST_F(GoodInfoTest, UnknownGoodLeavesNothingOfThePreviousOne) {
  ASSERT_TRUE(Check("G001"));
  EXPECT_FALSE(Check("G999"));
  EXPECT_EQ(Field("Name"), "");
  EXPECT_EQ(Field("spec"), "");
  EXPECT_EQ(Field("UnitName"), "");
  EXPECT_EQ(Field("id"), "");
  EXPECT_EQ(trace_->statements.back(), LookupSql("G999"));
  EXPECT_EQ(trace_->recordsets_closed, 2);
}

TEST_F(GoodInfoTest, NullColumnsGiveEmptyText) {
  EXPECT_TRUE(Check("G002"));
  EXPECT_EQ(Field("Name"), "Saline");
  EXPECT_EQ(Field("spec"), "");
  EXPECT_EQ(Field("UnitName"), "");
}

TEST_F(GoodInfoTest, QuoteInTheIdIsDoubled) {
  EXPECT_TRUE(Check("G'3"));
  EXPECT_EQ(trace_->statements.back(), LookupSql("G''3"));
  EXPECT_EQ(Field("Name"), "O'Brien's salve");
  EXPECT_EQ(Field("id"), "G'3");
  // A lone quote is an unknown good, not a broken statement.
  EXPECT_FALSE(Check("'"));
  EXPECT_EQ(trace_->statements.back(), LookupSql("''"));
}

TEST_F(GoodInfoTest, NumericIdColumnReadsAsText) {
  Variant id(int32_t{17});  // the reports pass a field value
  EXPECT_TRUE(Call(info_, "CheckInfo", ByRef{id}).ToBool());
  EXPECT_EQ(trace_->statements.back(), LookupSql("17"));
  EXPECT_EQ(Field("id"), "17");
  EXPECT_EQ(Field("Name"), "Gauze");
}

TEST_F(GoodInfoTest, HostObjectIsKeptByReference) {
  const Variant back = Get(info_, "Global_Lib_Obj");
  ASSERT_TRUE(back.IsObject());
  EXPECT_EQ(back.object(), host_.object());
  EXPECT_EQ(Number([&] { Let(info_, "Global_Lib_Obj", Variant("host")); }), kErrNoMember);
}

TEST_F(GoodInfoTest, HostNotSetIsError91) {
  const Variant fresh = Call(activex_, "Create_Good_Info_Class");
  Variant id("G001");
  EXPECT_EQ(Number([&] { Call(fresh, "CheckInfo", ByRef{id}); }), kErrObjectNotSet);
  EXPECT_EQ(Field("Name"), "");  // nothing loaded yet on info_ either

  Set(info_, "Global_Lib_Obj", nullptr);  // Nothing
  EXPECT_EQ(Number([&] { Check("G001"); }), kErrObjectNotSet);
  EXPECT_TRUE(trace_->statements.empty());
}

TEST_F(GoodInfoTest, DatabaseErrorsPassThroughAndTheRecordsetIsClosed) {
  db_->Exec("drop view qev_pub_Good_V");
  try {
    Check("G001");
    ADD_FAILURE() << "no error without the view";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrDatabase);
    EXPECT_NE(e.description().find("no such table: qev_pub_Good_V"), std::string::npos)
        << e.description();
  }

  // A read that fails after the recordset is open: the recordset is still
  // closed and the error is the read's.
  db_->Exec("create view qev_pub_Good_V as"
            " select id, name as Name, spec, unitname as UnitName from qev_pub_good");
  ASSERT_TRUE(Check("G001"));
  trace_->failing_field = "UnitName";
  try {
    Check("G001");
    ADD_FAILURE() << "no error from the failing read";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.description(), "connection lost while reading UnitName");
  }
  EXPECT_EQ(trace_->recordsets_opened, 2);
  EXPECT_EQ(trace_->recordsets_closed, 2);
  EXPECT_EQ(Field("Name"), "");  // a failed lookup forgets the previous good
}

}  // namespace
}  // namespace qev::utility
