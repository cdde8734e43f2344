// Two workstations calculating into the same report tables, header table
// and scratch table: each one's rows stay as it left them.
#include "platform/dispatch.h"
#include "tests/category/category_fixture.h"

namespace qev::testing {
namespace {

class CategoryWorkstationsTest : public CategoryFixture {
 protected:
  std::vector<std::string> Snapshot(const std::string& table, const std::string& ws) const {
    return Text("select * from " + table + " where computer='" + ws + "' order by 2,3,4");
  }
};

TEST_F(CategoryWorkstationsTest, RowsHeadersAndScratchRowsStayPerWorkstation) {
  AddRandomCharges(1, 200, 701);
  AddRandomCharges(2, 200, 702);
  AddRandomCharges(3, 200, 703);

  Variant ws1 = NewReport("Rpt_Tol_Type", "rpt_tol_type");
  Let(ws1, "ObjField", Variant("DepaID"));
  Let(ws1, "TypeField", Variant("fpxmid"));
  Let(ws1, "QtyIndex", Variant(int16_t{1}));
  Calcu(ws1, 2, 2);
  Call(ws1, "UpdateHeader", Variant(11.5));
  const auto type_rows = Snapshot("rpt_tol_type", "WS1");
  const auto scratch = Snapshot("tem_rpt_qty", "WS1");
  const auto header = Snapshot("rpt_header", "WS1");
  ASSERT_FALSE(type_rows.empty());
  ASSERT_FALSE(scratch.empty());

  // The second workstation: the same report with a condition, then the
  // per-category report over three databases, which replaces only its own
  // scratch rows.
  SetWorkstation("WS2");
  Variant ws2 = NewReport("Rpt_Tol_Type", "rpt_tol_type", "DepaID in ('01','02')");
  Let(ws2, "ObjField", Variant("DepaID"));
  Let(ws2, "TypeField", Variant("fpxmid"));
  Let(ws2, "QtyIndex", Variant(int16_t{1}));
  Calcu(ws2, 2, 2);
  Call(ws2, "UpdateHeader", Variant(99.0));
  // After the calculation a row's name is its display name, by which
  // ChangeValue finds it.
  Call(ws2, "ChangeValue", Variant("内科"), Variant("01"), Variant(1000.0));
  Variant dx2 = NewReport("Rpt_Tol_TypeDx", "rpt_tol_typedx");
  Let(dx2, "TypeField", Variant("fpxmid"));
  Let(dx2, "QtyIndex", Variant(int16_t{1}));
  Calcu(dx2, 3, 3);
  Call(dx2, "UpdateHeader", Variant(Call(dx2, "GetAllQty", Variant(int16_t{3}), Source(1))),
       Variant(1.5));

  EXPECT_EQ(Snapshot("rpt_tol_type", "WS1"), type_rows);
  EXPECT_EQ(Snapshot("tem_rpt_qty", "WS1"), scratch);
  EXPECT_EQ(Snapshot("rpt_header", "WS1"), header);
  EXPECT_TRUE(Snapshot("rpt_tol_typedx", "WS1").empty());

  // WS2's figures are its own: two departments, the extra amount on 01.
  const auto ws2_rows = RowsOf("rpt_tol_type", "WS2");
  ASSERT_EQ(ws2_rows.size(), 2u);
  auto want = Expected("DepaID", "fpxmid", 1, 2);
  EXPECT_DOUBLE_EQ(Num(ws2_rows.at("01"), "amt"), want["01"].halves / 2.0 + 1000);
  EXPECT_DOUBLE_EQ(Num(ws2_rows.at("02"), "amt"), want["02"].halves / 2.0);
  EXPECT_EQ(Num(ws2_rows.at("02"), "qty"), want["02"].qty);
  EXPECT_EQ(Text("select computer,rpttab,everyamt,allqty from rpt_header order by 1,2"),
            (std::vector<std::string>{"WS1|rpt_tol_type|11.5|<null>",
                                      "WS2|rpt_tol_type|99|<null>",
                                      "WS2|rpt_tol_typedx|1.5|" +
                                          std::to_string(ExpectedAllQty(1, 3))}));

  // The scratch rows are keyed by workstation only: WS1's count over the
  // whole selection reads what WS1's own last count over several databases
  // left, whichever report wrote them.
  SetWorkstation("WS1");
  Variant dx1 = NewReport("Rpt_Tol_TypeDx", "rpt_tol_typedx");
  Let(dx1, "QtyIndex", Variant(int16_t{1}));
  EXPECT_EQ(Call(dx1, "GetAllQty", Variant(int16_t{2}), Source(1)).ToInt16(),
            ExpectedAllQty(1, 2));
  SetWorkstation("WS2");
  EXPECT_EQ(Call(dx1, "GetAllQty", Variant(int16_t{2}), Source(1)).ToInt16(),
            ExpectedAllQty(1, 3));
}

}  // namespace
}  // namespace qev::testing
