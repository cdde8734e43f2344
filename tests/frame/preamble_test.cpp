// The start of every calculation, the header record and header string, the
// workstation name and the report query object, on real SQLite files.
#include <gtest/gtest.h>

#include "frame/Rpt_Mode.h"
#include "frame/catalogue.h"
#include "frame/pending_report.h"
#include "frame/registration.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"
#include "utility/server.h"

namespace qev::frame {
namespace {

const std::string S(kValueListSeparator);

class PreambleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterLinkedClasses();
    utility::RegisterLinkedClasses();
  }

  void SetUp() override {
    db_ = dir_.File("report.db");
    host_ = host::CreateHostLib(db_, "WS1");
    host::CreateFixedTables(Query0().object());
    Exec("create table rpt_demo (computer text, name text, qty real)");
  }

  Variant Query0() const { return Get(Variant(host_), "DbA_Query0_Obj"); }
  void Exec(const std::string& sql) const { Call(Query0(), "Exec", Variant(sql)); }
  void SetWorkstation(const std::string& ws) const {
    Let(Get(Variant(host_), "Global_Para_Obj"), "ComputerName", Variant(ws));
  }
  std::vector<std::string> Rows(const std::string& sql) const {
    return testing::QueryText(Query0(), sql);
  }
  // With `pending`, the stand-in component of a class whose calculation is
  // not built, made directly, whichever classes the registration has built
  // by now.
  Variant NewReport(const std::string& cls, const std::string& rpttab, const std::string& desc,
                    bool pending = false) const {
    Variant r(pending ? MakePendingReport(*FindClass(cls)) : CreateObject("qevRptCalLib." + cls));
    Set(r, "Global_Lib_Obj", host_);
    Let(r, "RptTab", Variant(rpttab));
    Let(r, "RptDesc", Variant(desc));
    return r;
  }
  static int ErrorOf(const std::function<void()>& f) { return testing::ErrorNumberOf(f); }

  testing::TempDir dir_;
  std::string db_;
  Object host_;
};

TEST_F(PreambleTest, HeaderStringOfTheDescriptionList) {
  EXPECT_EQ(GetHeadStr(""), "");
  EXPECT_EQ(GetHeadStr("Start date" + S + "2024-01-01" + S + "" + S + "all wards"),
            "Startdate:2024-01-01   all wards");
  // Blanks vanish from labels only; values keep theirs.
  EXPECT_EQ(GetHeadStr(" 科 室 " + S + " 内 科 "), "科室: 内 科 ");
  EXPECT_EQ(GetHeadStr("a" + S + "" + S + "b" + S + "2"), "a:   b:2");
  EXPECT_EQ(ErrorOf([] { GetHeadStr("a" + S + "1" + S + "b"); }), kErrSubscript);
  EXPECT_EQ(ErrorOf([] { GetHeadStr("only"); }), kErrSubscript);
}

TEST_F(PreambleTest, PreambleDeletesOwnRowsAndRenewsTheHeader) {
  Exec("insert into rpt_demo values ('WS1','old',1),('WS2','other',2)");
  Exec("insert into rpt_header (computer,rpttab,headstr) values "
       "('WS1','rpt_demo','old header'),('WS2','rpt_demo','ws2 header'),"
       "('WS1','rpt_other','keep me')");
  Variant r = NewReport("Rpt_Zy_Type", "rpt_demo", "Start date" + S + "2024-01-01", true);
  // A class whose calculation is not built: its preamble runs, then the
  // not-implemented error names the class.
  const testing::CaughtError e = testing::ErrorOf([&] { Call(r, "CalcuRpt", Variant(int16_t{1}), Query0()); });
  EXPECT_EQ(e.number, kErrNotImplemented);
  EXPECT_NE(e.description.find("Rpt_Zy_Type"), std::string::npos) << e.description;
  EXPECT_EQ(e.source, "qevRptCalLib.Rpt_Zy_Type");
  EXPECT_EQ(Rows("select computer,name from rpt_demo order by computer"),
            (std::vector<std::string>{"WS2|other"}));
  EXPECT_EQ(Rows("select computer,rpttab,headstr from rpt_header order by computer,rpttab"),
            (std::vector<std::string>{"WS1|rpt_demo|Startdate:2024-01-01",
                                      "WS1|rpt_other|keep me", "WS2|rpt_demo|ws2 header"}));
}

TEST_F(PreambleTest, OddDescriptionFailsAfterTheDeletions) {
  Exec("insert into rpt_demo values ('WS1','old',1)");
  Exec("insert into rpt_header (computer,rpttab,headstr) values ('WS1','rpt_demo','old')");
  Variant r = NewReport("Rpt_Tol_Good", "rpt_demo", "a" + S + "1" + S + "b");
  EXPECT_EQ(ErrorOf([&] { Call(r, "CalcuRpt", Variant(int16_t{1}), Query0()); }), kErrSubscript);
  EXPECT_TRUE(Rows("select * from rpt_demo").empty());
  EXPECT_TRUE(Rows("select * from rpt_header").empty());
}

TEST_F(PreambleTest, EmptyDescriptionStillWritesTheHeader) {
  Variant r = NewReport("Rpt_Kc_Query", "rpt_stock_query", "");
  Let(r, "Kfhb", Variant(int16_t{7}));
  Call(r, "CalcuRpt");
  Let(r, "RptDesc", Variant("Store" + S + "West"));
  Call(r, "CalcuRpt");
  EXPECT_EQ(Rows("select computer,rpttab,headstr from rpt_header"),
            (std::vector<std::string>{"WS1|rpt_stock_query|Store:West"}));
  Variant reg = NewReport("Rpt_RegCz", "rpt_reg", "");
  Exec("insert into rpt_demo values ('WS1','kept',1)");
  Call(reg, "CalcuRpt");
  Call(reg, "CalcuRpt");
  EXPECT_EQ(Rows("select computer,rpttab,headstr from rpt_header where rpttab='rpt_reg'"),
            (std::vector<std::string>{"WS1|rpt_reg|"}));
  // Header-only reports leave the report table's rows alone.
  EXPECT_EQ(Rows("select name from rpt_demo"), (std::vector<std::string>{"kept"}));
}

TEST_F(PreambleTest, ComputerNameIsReadAfreshAndNeedsTheHostObject) {
  Variant r(CreateObject("qevRptCalLib.Rpt_Tol_Good"));
  EXPECT_EQ(ErrorOf([&] { Get(r, "ComputerName"); }), kErrObjectNotSet);
  EXPECT_EQ(ErrorOf([&] { Call(r, "CalcuRpt", Variant(int16_t{1}), Query0()); }),
            kErrObjectNotSet);
  Set(r, "Global_Lib_Obj", host_);
  EXPECT_EQ(Get(r, "ComputerName"), Variant("WS1"));
  SetWorkstation("护士站-3");
  EXPECT_EQ(Get(r, "ComputerName"), Variant("护士站-3"));
}

TEST_F(PreambleTest, PropertiesOfClassesWithoutTheirCalculationSayNotImplemented) {
  Variant dx = NewReport("Rpt_Zy_TypeDx", "rpt_demo", "", true);
  EXPECT_EQ(ErrorOf([&] { Get(dx, "TypeTab"); }), kErrNotImplemented);
  Let(dx, "TypeField", Variant("x"));
  EXPECT_EQ(Get(dx, "TypeField"), Variant("x"));
}

}  // namespace
}  // namespace qev::frame
