// rptcalc run --format html as it is printed: the page goes through
// headless Chromium to PDF, and the PDF's text (pdftotext) must hold the
// heading, the Chinese names, the numbers, a hostile name as plain text,
// and the column headings on every page of a long report.
#include <unistd.h>

#include <fstream>

#include "tests/rptcalc/rptcalc_fixture.h"

namespace qev::testing {
namespace {

class PrintTest : public RptcalcTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(Rptcalc({"schema", "--db", "report.db"}).status, 0);
    // 1,000 goods: one named like a script, one in Chinese with an amount
    // to find, the others numbered.
    std::string goods = "insert into qev_pub_good (id,Name,spec,UnitName) values ";
    std::string moves = "insert into fy_detail (goodid,MzZy,Qty,UnitRate,Amt) values ";
    for (int i = 0; i < 1000; ++i) {
      const std::string id = std::to_string(10000 + i);
      const std::string name = i == 0   ? "<script>alert(1)</script>"
                               : i == 1 ? "阿莫西林胶囊"
                                        : std::string("药品").append(std::to_string(i));
      // Strings first: GCC 12 reports a false -Wrestrict on literal + temporary.
      goods += std::string(i ? "," : "") + "('" + id + "','" + name + "','0.25g*24粒','盒')";
      moves += std::string(i ? "," : "") + "('" + id + "','1'," + std::to_string(i % 9 + 1) +
               ",1," + (i == 1 ? std::string("12062.5") : std::to_string(i % 50) + ".25") + ")";
    }
    Exec("report.db", {goods, moves});
  }
  ProcessResult Html(std::vector<std::string> more) const {
    std::vector<std::string> a = {"run", "Rpt_Tol_Good", "--db", "report.db", "--workstation",
                                  "WS1", "--set", "RptTab=rpt_tol_good", "--format", "html"};
    a.insert(a.end(), more.begin(), more.end());
    return Rptcalc(a);
  }
};

TEST_F(PrintTest, PrintedPageHoldsTheReportOnEveryPage) {
  const ProcessResult r = Html({"--set", "SourceViewName=rpt_fy_v", "--desc", "统计期间=2024-03"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The hostile name is text in the page, never an element.
  EXPECT_EQ(r.out.find("<script"), std::string::npos);
  EXPECT_NE(r.out.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(r.out.find("Not a finished report"), std::string::npos);
  std::ofstream(dir_.File("page.html")) << r.out;

  // Where the Debian packages that ./run installs put them.
  const std::string chromium = "/usr/bin/chromium", pdftotext = "/usr/bin/pdftotext";
  ASSERT_EQ(::access(chromium.c_str(), X_OK), 0) << "Chromium is not installed";
  ASSERT_EQ(::access(pdftotext.c_str(), X_OK), 0) << "poppler-utils is not installed";
  const ProcessResult print = RunProcess(
      chromium,
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
       "--disable-background-networking", "--disable-component-update", "--disable-sync",
       "--disable-dev-shm-usage",
       "--user-data-dir=" + dir_.File("profile"), "--no-pdf-header-footer",
       "--print-to-pdf=" + dir_.File("page.pdf"), "file://" + dir_.File("page.html")},
      dir_.path(), {{"HOME", dir_.path()}});
  ASSERT_EQ(print.status, 0) << print.err;
  const ProcessResult text =
      RunProcess(pdftotext, {"-layout", dir_.File("page.pdf"), "-"}, dir_.path());
  ASSERT_EQ(text.status, 0) << text.err;

  std::vector<std::string> pages;
  std::istringstream in(text.out);
  for (std::string page; std::getline(in, page, '\f');)
    if (page.find_first_not_of(" \n") != std::string::npos) pages.push_back(page);
  ASSERT_GE(pages.size(), 10u) << text.out.substr(0, 2000);
  for (size_t p = 0; p < pages.size(); ++p) {
    // The column headings open every page; the rows of the page follow.
    const size_t heading = pages[p].find("nameid");
    EXPECT_NE(heading, std::string::npos) << "page " << p + 1 << ":\n" << pages[p];
    EXPECT_NE(pages[p].find("everyprice"), std::string::npos) << "page " << p + 1;
    EXPECT_LT(heading, pages[p].find("药品")) << "page " << p + 1;
  }
  EXPECT_NE(pages[0].find("统计期间:2024-03"), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("WS1"), std::string::npos);
  EXPECT_NE(text.out.find("阿莫西林胶囊"), std::string::npos);
  EXPECT_NE(text.out.find("12062.5"), std::string::npos);
  EXPECT_NE(text.out.find("<script>alert(1)</script>"), std::string::npos);
  EXPECT_NE(text.out.find("药品999"), std::string::npos);  // the last row is printed too
}

TEST_F(PrintTest, StoredRowsOfAFailedCalculationAreMarkedInTheHeading) {
  ASSERT_EQ(Html({"--set", "SourceViewName=rpt_fy_v"}).status, 0);
  ASSERT_EQ(Html({"--set", "SourceViewName=no_such_view"}).status, 1);
  const ProcessResult r = Html({"--no-calc"});
  EXPECT_EQ(r.status, 4);
  const size_t mark = r.out.find("<p class=\"not-done\">Not a finished report: the last "
                                 "calculation of rpt_tol_good for workstation WS1 failed at ");
  ASSERT_NE(mark, std::string::npos) << r.out.substr(0, 3000);
  EXPECT_LT(mark, r.out.find("</header>"));
  EXPECT_NE(r.out.find("no_such_view", mark), std::string::npos);
}

}  // namespace
}  // namespace qev::testing
