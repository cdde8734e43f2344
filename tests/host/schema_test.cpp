// The fixed tables on each engine: created once, harmless twice, typed for
// the values the reports write (their columns are the reports' to prove).
#include <gtest/gtest.h>

#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

using SchemaTest = HostTest;

INSTANTIATE_TEST_SUITE_P(Backends, SchemaTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, SchemaTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(SchemaTest, CreatesTheFixedTablesAndIsHarmlessTwice) {
  CreateFixedTables(q_.object());
  Call(q_, "InsertRecord", "rpt_header", "computer,rpttab,headstr", Values("WS1", "rpt_a", "h"));
  CreateFixedTables(q_.object());  // again: nothing lost, no error
  EXPECT_EQ(Count("rpt_header"), 1);
  for (const char* t : {"rpt_header", "tem_rpt_qty", "tem_rpt_kcdetail"}) EXPECT_TRUE(TableExists(t)) << t;
  // What SnValue needs: a table of counters, or a real sequence.
  if (pg())
    EXPECT_EQ(Count("pg_catalog.pg_class", "relkind = 'S' and relname = 'qev_sn_tempid' and "
                                            "relnamespace = to_regnamespace(current_schema())"),
              1);
  else
    EXPECT_TRUE(TableExists("qev_sequence"));
}

TEST_P(SchemaTest, KeysStayTextAndFiguresBecomeNumbers) {
  CreateFixedTables(q_.object());
  // A key of several columns fills the key columns of tem_rpt_qty.
  Call(q_, "InsertRecord", "tem_rpt_qty", "temid,computer,RegID,Name,objfield,amt",
       Values("1", "WS1", "007", "Li", "01", "12.50"));
  Call(q_, "InsertRecord", "tem_rpt_qty", "temid,computer,RegID,Name,objfield,amt",
       Values("2", "WS1", "007", "Li", "01", "-2.5"));
  Variant rs = Open("select ObjField ,sum(amt) as SfAmt from tem_rpt_qty  where computer='WS1' "
                    "group by objfield,RegID,Name");
  ASSERT_EQ(Get(rs, "RecordCount"), Variant(int32_t{1}));
  EXPECT_EQ(Call(rs, "Fields", "ObjField"), Variant("01"));
  // A whole number from a numeric column may come as an integer.
  EXPECT_EQ(Call(rs, "Fields", "Sfamt").ToDouble(), 10.0);
  EXPECT_TRUE(Scalar("select JzrDay from tem_rpt_qty").IsNull());

  // Gathered stock rows: numeric ids ordered as numbers, NULL sources as NULL.
  const char* fields = "ID,Computer,GoodID,YfCkID,UnitID,UnitPrice,JhPrice,UnitRate,iDate,Type,FromID,Qty";
  Call(q_, "InsertRecord", "tem_rpt_kcdetail", fields,
       Values("10", "WS1", "g1", "d1", "u", "1.5", "", "10", "2024-01-02", "1", "", "4"));
  Call(q_, "InsertRecord", "tem_rpt_kcdetail", fields,
       Values("9", "WS1", "g1", "d1", "u", "1.5", "", "10", "2024-01-02", "2", "", "-1"));
  const std::string order = Call(q_, "OrderStrToNumField", "id").ToText();
  rs = Open("select goodid,Type,Qty,UnitRate,JhPrice,FromID from tem_rpt_kcdetail where type<>'0' "
            " and computer='WS1' order by idate, " + order);
  ASSERT_EQ(Get(rs, "RecordCount"), Variant(int32_t{2}));
  EXPECT_EQ(Call(rs, "Fields", "Type"), Variant("2"));
  EXPECT_EQ(Call(rs, "Fields", "Qty").ToDouble(), -1.0);
  EXPECT_TRUE(Call(rs, "Fields", "JhPrice").IsNull());
  EXPECT_EQ(Call(rs, "Fields", "FromID"), Variant(""));
  EXPECT_EQ(VarMul(Call(rs, "Fields", "qty"), Call(rs, "Fields", "unitrate")).ToDouble(), -10.0);

  // Header figures written as text are stored as numbers.
  Call(q_, "InsertRecord", "rpt_header", "computer,rpttab,headstr", Values("WS1", "rpt_a", ""));
  Call(q_, "UpdateRecord", "rpt_header", "allqty,everyamt,f1,f31", Values("12", "3.25", "4", "0"),
       "computer='WS1' and rpttab='rpt_a'");
  rs = Open("select allqty, everyamt, f1, f2, f31, headstr from rpt_header");
  EXPECT_EQ(Call(rs, "Fields", "allqty"), Variant(int32_t{12}));
  EXPECT_EQ(Call(rs, "Fields", "everyamt"), Variant(3.25));
  EXPECT_EQ(Call(rs, "Fields", "f1"), Variant(int32_t{4}));
  EXPECT_TRUE(Call(rs, "Fields", "f2").IsNull());
  EXPECT_EQ(Call(rs, "Fields", "f31"), Variant(int32_t{0}));
  EXPECT_EQ(Call(rs, "Fields", "headstr"), Variant(""));
}

TEST_P(SchemaTest, RefusesObjectsThatAreNoHostQueryObjects) {
  Error e = RaisedBy([&] { CreateFixedTables(host_.object()); });
  EXPECT_EQ(e.number, kErrBadStatement);
  EXPECT_FALSE(TableExists("rpt_header"));
}

}  // namespace
}  // namespace qev::host::testing
