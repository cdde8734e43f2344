// The text forms rptcalc prints: display widths of wide characters, CSV
// quoting, JSON values and aligned tables.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "tools/rptcalc/report_output.h"
#include "tools/rptcalc/text_width.h"

namespace rptcalc {
namespace {

TEST(DisplayWidth, CountsWideCharactersTwice) {
  EXPECT_EQ(DisplayWidth(""), 0);
  EXPECT_EQ(DisplayWidth("qty5"), 4);
  EXPECT_EQ(DisplayWidth("阿莫西林胶囊"), 12);
  EXPECT_EQ(DisplayWidth("0.25g*24粒"), 10);
  EXPECT_EQ(DisplayWidth("院区:总院、东院"), 15);  // "、" is a CJK symbol
  EXPECT_EQ(DisplayWidth("ＡＢ"), 4);              // fullwidth forms
  EXPECT_EQ(DisplayWidth("한국"), 4);              // Hangul syllables
  EXPECT_EQ(DisplayWidth("𠀀"), 2);                // CJK extension B (4-byte UTF-8)
  EXPECT_EQ(DisplayWidth("100μg"), 5);             // Greek is narrow
  EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1);         // e + combining acute accent
  EXPECT_EQ(DisplayWidth("a\x1F" "b"), 2);         // the value-list separator takes none
  EXPECT_EQ(DisplayWidth("\xFF\xFE"), 2);          // bytes that are no UTF-8: one each
  EXPECT_EQ(DisplayWidth("\xE9\x98"), 2);          // a cut-off sequence likewise
}

TEST(DisplayWidth, PadsToColumnsNotBytes) {
  EXPECT_EQ(PadToWidth("盒", 4, false), "盒  ");
  EXPECT_EQ(PadToWidth("12.5", 6, true), "  12.5");
  EXPECT_EQ(PadToWidth("阿莫西林", 3, false), "阿莫西林");  // never cut
}

TEST(AlignedTable, LinesUpMixedWidthsAndRightAlignsNumbers) {
  std::ostringstream out;
  WriteAlignedTable({"name", "qty", "unit"},
                    {{"阿莫西林胶囊", "965", "盒"}, {"Vitamin C", "12.5", ""}},
                    {false, true, false}, out);
  EXPECT_EQ(out.str(),
            "name           qty  unit\n"
            "------------  ----  ----\n"
            "阿莫西林胶囊   965  盒\n"
            "Vitamin C     12.5\n");
}

TEST(Csv, QuotesOnlyWhereNeeded) {
  EXPECT_EQ(CsvField("1001"), "1001");
  EXPECT_EQ(CsvField("阿莫西林"), "阿莫西林");
  EXPECT_EQ(CsvField("0.9%,500ml"), "\"0.9%,500ml\"");
  EXPECT_EQ(CsvField("5\"x"), "\"5\"\"x\"");
  EXPECT_EQ(CsvField("a\nb"), "\"a\nb\"");
  EXPECT_EQ(CsvField(" padded"), "\" padded\"");
  EXPECT_EQ(CsvField(""), "");
  std::ostringstream out;
  WriteCsvRecord({"a", "b,c", ""}, out);
  EXPECT_EQ(out.str(), "a,\"b,c\",\r\n");
}

TEST(JsonValue, NumbersStayNumbersAndNullIsNull) {
  EXPECT_EQ(ValueToJson(qev::Variant(int16_t{-7})).dump(), "-7");
  EXPECT_EQ(ValueToJson(qev::Variant(int32_t{70000})).dump(), "70000");
  EXPECT_EQ(ValueToJson(qev::Variant(12.5)).dump(), "12.5");
  EXPECT_TRUE(ValueToJson(qev::Variant::Null()).is_null());
  EXPECT_TRUE(ValueToJson(qev::Variant()).is_null());
  EXPECT_TRUE(ValueToJson(qev::Variant(std::numeric_limits<double>::infinity())).is_null());
  EXPECT_EQ(ValueToJson(qev::Variant(true)).dump(), "true");
  EXPECT_EQ(ValueToJson(qev::Variant("1001")).dump(), "\"1001\"");
  EXPECT_EQ(ValueToJson(qev::Variant(qev::MakeDate({2024, 3, 1, 0, 0, 0}))), "2024-03-01");
  EXPECT_EQ(ValueToJson(qev::Variant(qev::MakeDate({2024, 3, 1, 8, 5, 9}))),
            "2024-03-01 08:05:09");
  EXPECT_EQ(ValueToText(qev::Variant(0.1 + 0.2)), "0.3");  // 15 significant digits
  EXPECT_EQ(ValueToText(qev::Variant::Null()), "");
}

TEST(ReportOutput, JsonHasHeaderTablesAndCalls) {
  ReportOutput output;
  output.workstation = "WS1";
  RowTable t{"rpt_tol_good", {"nameid", "qty", "everyprice"}, {}};
  t.rows.push_back({qev::Variant("1001"), qev::Variant(3.0), qev::Variant::Null()});
  output.tables.push_back(t);
  output.calls.push_back({"GetDetailCondStr", qev::Variant("goodid='1001'")});
  std::ostringstream out;
  WriteReportOutput(output, OutputFormat::kJson, out);
  const auto doc = nlohmann::json::parse(out.str());
  EXPECT_TRUE(doc.at("header").is_null());
  EXPECT_EQ(doc.at("tables").at("rpt_tol_good")[0].at("qty"), 3.0);
  EXPECT_TRUE(doc.at("tables").at("rpt_tol_good")[0].at("everyprice").is_null());
  EXPECT_EQ(doc.at("calls")[0].at("result"), "goodid='1001'");
  // Columns keep the table's order.
  EXPECT_LT(out.str().find("\"nameid\""), out.str().find("\"qty\""));
  EXPECT_LT(out.str().find("\"qty\""), out.str().find("\"everyprice\""));
}

}  // namespace
}  // namespace rptcalc
