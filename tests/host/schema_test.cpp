// The fixed tables: created once, harmless twice, typed for the values the
// reports write, indexed by workstation.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

class SchemaTest : public HostTest {
 protected:
  // Column name (lower case) -> declared type (lower case).
  std::map<std::string, std::string> Columns(const std::string& table) {
    std::map<std::string, std::string> out;
    Variant rs = Open("select lower(name) as name, lower(type) as type from pragma_table_info('" + table + "')");
    for (int i = 0, n = Get(rs, "RecordCount").ToInt32(); i < n; ++i) {
      out[Call(rs, "Fields", "name").ToText()] = Call(rs, "Fields", "type").ToText();
      Call(rs, "MoveNext");
    }
    return out;
  }

  // The first column of every index of `table`.
  std::set<std::string> IndexedLeadColumns(const std::string& table) {
    std::set<std::string> out;
    Variant rs = Open(
        "select lower(ii.name) from pragma_index_list('" + table +
        "') il join pragma_index_info(il.name) ii where ii.seqno = 0");
    for (int i = 0, n = Get(rs, "RecordCount").ToInt32(); i < n; ++i) {
      out.insert(Call(rs, "Fields", int16_t{0}).ToText());
      Call(rs, "MoveNext");
    }
    return out;
  }
};

TEST_F(SchemaTest, CreatesTheFixedTablesAndIsHarmlessTwice) {
  CreateFixedTables(q_.object());
  Call(q_, "InsertRecord", "rpt_header", "computer,rpttab,headstr", Values("WS1", "rpt_a", "h"));
  CreateFixedTables(q_.object());  // again: nothing lost, no error
  EXPECT_EQ(Count("rpt_header"), 1);
  for (const char* t : {"rpt_header", "tem_rpt_qty", "tem_rpt_kcdetail", "qev_sequence"})
    EXPECT_TRUE(TableExists(t)) << t;
}

TEST_F(SchemaTest, TablesHoldTheColumnsTheReportsWrite) {
  CreateFixedTables(q_.object());
  auto header = Columns("rpt_header");
  for (const char* c : {"computer", "rpttab", "headstr", "everyamt", "allqty"})
    EXPECT_TRUE(header.count(c)) << c;
  for (int d = 1; d <= 31; ++d) EXPECT_TRUE(header.count("f" + std::to_string(d))) << d;
  EXPECT_EQ(header.size(), 5u + 31u);

  auto qty = Columns("tem_rpt_qty");
  EXPECT_EQ(qty.size(), 8u);
  for (const char* c : {"temid", "computer", "regid", "name", "jzrday", "id", "objfield", "amt"})
    EXPECT_TRUE(qty.count(c)) << c;

  auto kc = Columns("tem_rpt_kcdetail");
  EXPECT_EQ(kc.size(), 12u);
  for (const char* c : {"id", "computer", "goodid", "yfckid", "unitid", "unitprice", "jhprice",
                        "unitrate", "idate", "type", "fromid", "qty"})
    EXPECT_TRUE(kc.count(c)) << c;
}

TEST_F(SchemaTest, EveryTableIsIndexedByWorkstation) {
  CreateFixedTables(q_.object());
  EXPECT_TRUE(IndexedLeadColumns("rpt_header").count("computer"));
  EXPECT_TRUE(IndexedLeadColumns("tem_rpt_qty").count("computer"));
  EXPECT_TRUE(IndexedLeadColumns("tem_rpt_kcdetail").count("computer"));
}

TEST_F(SchemaTest, KeysStayTextAndFiguresBecomeNumbers) {
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
  EXPECT_EQ(Call(rs, "Fields", "Sfamt"), Variant(10.0));
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
  EXPECT_EQ(Call(rs, "Fields", "Qty"), Variant(-1.0));
  EXPECT_TRUE(Call(rs, "Fields", "JhPrice").IsNull());
  EXPECT_EQ(Call(rs, "Fields", "FromID"), Variant(""));
  EXPECT_EQ(VarMul(Call(rs, "Fields", "qty"), Call(rs, "Fields", "unitrate")), Variant(-10.0));

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

TEST_F(SchemaTest, RefusesObjectsThatAreNoHostQueryObjects) {
  Error e = RaisedBy([&] { CreateFixedTables(host_.object()); });
  EXPECT_EQ(e.number, kErrBadStatement);
  EXPECT_FALSE(TableExists("rpt_header"));
}

}  // namespace
}  // namespace qev::host::testing
