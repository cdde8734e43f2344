// rptcalc run, classes, register and unregister, as a user runs them: the
// built program on SQLite files, its output parsed back and checked against
// the figures of the rows the tests insert.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "frame/catalogue.h"
#include "frame/pending_report.h"
#include "frame/registration.h"
#include "platform/registry.h"
#include "platform/value_list.h"
#include "tests/rptcalc/rptcalc_fixture.h"

namespace qev::testing {
namespace {

using nlohmann::json;

struct Totals {
  double qty = 0;  // base units: Qty * UnitRate
  double amt = 0;
};
using TotalsByGood = std::map<std::string, Totals>;

// The goods of the rows GoodsRun writes: source 1 in March (1002 has an
// April row too), source 2, and both sources. Good 1004 sums to quantity 0
// over both: no average price.
const TotalsByGood kSource1March = {{"1001", {20, 31.2}}, {"1002", {3, 4.5}}, {"1004", {2, 5}}};
const TotalsByGood kSource2 = {{"1001", {1, 1.56}}, {"1003", {4, 9.99}}, {"1004", {-2, -5}}};
const TotalsByGood kBoth = {{"1001", {21, 32.76}}, {"1002", {4, 6}}, {"1003", {4, 9.99}}, {"1004", {0, 0}}};

// A report database and two source databases made by `rptcalc schema`,
// with four goods and dispensing rows in both sources.
class GoodsRun : public RptcalcTest {
 protected:
  void SetUp() override {
    for (const char* f : {"report.db", "s1.db", "s2.db"}) {
      const ProcessResult r = Rptcalc({"schema", "--db", f});
      ASSERT_EQ(r.status, 0) << r.err;
    }
    Exec("report.db",
         {"insert into qev_pub_good (id,Name,spec,UnitName) values "
          "('1001','阿莫西林胶囊','0.25g*24粒','盒'),('1002','生理盐水','0.9%,500ml','瓶'),"
          "('1003','布洛芬缓释胶囊','0.3g*20粒','盒'),('1004','碘伏','100ml','瓶')",
          // Another workstation's row, which no run of WS1 may touch or show.
          "insert into rpt_tol_good (computer,name,nameid,qty,amt) values "
          "('WS2','其他','9999',7,70)"});
    const std::string fy = "insert into fy_detail (goodid,MzZy,DepaID,iDate,Qty,UnitRate,Amt) values ";
    Exec("s1.db", {fy + "('1001','1','01','2024-03-15 09:30:00',2,10,31.2),"
                        "('1002','2','01','2024-03-15 09:30:00',3,1,4.5),"
                        "('1002','1','01','2024-04-02 10:00:00',1,1,1.5),"
                        "('1004','1','01','2024-03-20 08:00:00',2,1,5)"});
    Exec("s2.db", {fy + "('1001','2','01','2024-03-15 09:30:00',1,1,1.56),"
                        "('1003','1','01','2024-04-02 10:00:00',4,1,9.99),"
                        "('1004','1','01','2024-03-20 08:00:00',-2,1,-5)"});
  }

  std::vector<std::string> TolGood(std::vector<std::string> extra) const {
    std::vector<std::string> args = {"run", "Rpt_Tol_Good", "--db", "report.db",
                                     "--workstation", "WS1", "--set", "SourceViewName=rpt_fy_v",
                                     "--set", "RptTab=rpt_tol_good"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // The records of a trace file in the temporary directory.
  std::vector<json> Trace(const std::string& file) const {
    std::vector<json> recs;
    std::ifstream in(dir_.File(file));
    for (std::string line; std::getline(in, line);) recs.push_back(json::parse(line));
    return recs;
  }

  // Expects the JSON rows of rpt_tol_good to be exactly `want`.
  static void ExpectRows(const json& doc, const TotalsByGood& want) {
    const json& rows = doc.at("tables").at("rpt_tol_good");
    ASSERT_EQ(rows.size(), want.size()) << rows.dump();
    for (const json& row : rows) {
      const std::string id = row.at("nameid").get<std::string>();
      SCOPED_TRACE(id);
      ASSERT_TRUE(want.count(id));
      EXPECT_EQ(row.at("computer"), "WS1");
      ASSERT_TRUE(row.at("qty").is_number());
      ASSERT_TRUE(row.at("amt").is_number());
      EXPECT_DOUBLE_EQ(row.at("qty").get<double>(), want.at(id).qty);
      EXPECT_NEAR(row.at("amt").get<double>(), want.at(id).amt, 1e-6);
      if (want.at(id).qty == 0) {
        EXPECT_TRUE(row.at("everyprice").is_null());
      } else {
        // FormatDec rounds to two decimals.
        EXPECT_NEAR(row.at("everyprice").get<double>(), want.at(id).amt / want.at(id).qty,
                    0.005 + 1e-9);
      }
    }
  }
};

TEST_F(GoodsRun, JsonHoldsTheHeaderAndTheSumsOfBothSources) {
  const ProcessResult r =
      Rptcalc(TolGood({"--source", "s1.db", "--source", "s2.db", "--desc", "期间=2024-03",
                       "--desc", "=全院", "--format", "json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const json doc = json::parse(r.out);
  const json& header = doc.at("header");
  EXPECT_EQ(header.at("computer"), "WS1");
  EXPECT_EQ(header.at("rpttab"), "rpt_tol_good");
  EXPECT_EQ(header.at("headstr"), "期间:2024-03   全院");
  EXPECT_TRUE(header.at("everyamt").is_null());
  ASSERT_EQ(doc.at("tables").size(), 1u);
  ExpectRows(doc, kBoth);
  for (const json& row : doc.at("tables").at("rpt_tol_good")) {
    if (row.at("nameid") == "1002") {
      EXPECT_EQ(row.at("name"), "生理盐水");
      EXPECT_EQ(row.at("spec"), "0.9%,500ml");
      EXPECT_EQ(row.at("unitname"), "瓶");
    }
  }
  EXPECT_EQ(doc.at("calls"), json::array());
  // The other workstation's row is neither shown nor touched.
  EXPECT_EQ(Rows("report.db", "select qty from rpt_tol_good where computer='WS2'").size(), 1u);
}

TEST_F(GoodsRun, ConditionAndSourceNumChooseTheRowsRead) {
  // Both sources passed, only the first read; April rows left out.
  const ProcessResult r = Rptcalc(TolGood({"--source", "s1.db", "--source", "s2.db",
                                           "--source-num", "1", "--set",
                                           "CondStr=iDate<{d '2024-04-01'}", "--format", "json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectRows(json::parse(r.out), kSource1March);
}

TEST_F(GoodsRun, WithoutSourcesTheReportDatabaseIsSourceOne) {
  Exec("report.db", {"insert into fy_detail (goodid,MzZy,DepaID,iDate,Qty,UnitRate,Amt) values "
                     "('1003','1','01','2024-03-02',5,2,12.5),('1003','2','01','2024-03-03',1,1,3)"});
  const ProcessResult r = Rptcalc(TolGood({"--format", "json", "--trace", "t.jsonl"}));
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectRows(json::parse(r.out), {{"1003", {11, 15.5}}});
  // Its source statement is labelled as the source, not as the report database.
  int source_opens = 0;
  for (const json& rec : Trace("t.jsonl")) {
    const std::string sql = rec.at("args").empty() || !rec.at("args")[0].is_string()
                                ? ""
                                : rec.at("args")[0].get<std::string>();
    if (rec.at("member") == "OpenRs" && sql.find("from rpt_fy_v") != std::string::npos) {
      EXPECT_EQ(rec.at("object"), "source1");
      ++source_opens;
    }
  }
  EXPECT_EQ(source_opens, 1);
}

TEST_F(GoodsRun, CsvBlocksQuoteFieldsAndLeaveNullEmpty) {
  const ProcessResult r =
      Rptcalc(TolGood({"--source", "s1.db", "--source", "s2.db", "--format", "csv"}));
  ASSERT_EQ(r.status, 0) << r.err;
  // Blocks: "# name", the column names, the rows, an empty line between.
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u) << r.out;
  std::string columns = "computer,rpttab,headstr,everyamt,allqty";
  for (int d = 1; d <= 31; ++d) columns += ",f" + std::to_string(d);
  EXPECT_EQ(lines[0], "# rpt_header");
  EXPECT_EQ(lines[1], columns);
  EXPECT_EQ(lines[2], "WS1,rpt_tol_good" + std::string(34, ','));
  // The rows (sorted here: no report orders them), the fields quoted where
  // they must be, Null empty.
  std::sort(lines.begin() + 6, lines.end());
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
            (std::vector<std::string>{"", "# rpt_tol_good", "computer,name,nameid,spec,unitname,qty,amt,everyprice",
                                      "WS1,布洛芬缓释胶囊,1003,0.3g*20粒,盒,4,9.99,2.5",
                                      "WS1,生理盐水,1002,\"0.9%,500ml\",瓶,4,6,1.5",
                                      "WS1,碘伏,1004,100ml,瓶,0,0,",
                                      "WS1,阿莫西林胶囊,1001,0.25g*24粒,盒,21,32.76,1.56"}));
}

TEST_F(GoodsRun, TraceHasEveryQueryObjectCallInOrder) {
  const ProcessResult r =
      Rptcalc(TolGood({"--source", "s1.db", "--source", "s2.db", "--set",
                       "CondStr=iDate<{d '2024-04-01'}", "--format", "json", "--trace", "t.jsonl"}));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<json> recs = Trace("t.jsonl");
  for (const json& rec : recs) {
    ASSERT_TRUE(rec.at("member").is_string() && rec.at("args").is_array()) << rec;
    const std::string object = rec.at("object");
    EXPECT_TRUE(object == "report" || object == "source1" || object == "source2") << rec;
  }
  ASSERT_GE(recs.size(), 3u);
  EXPECT_EQ(recs[0], json::parse(R"({"object":"report","member":"DeleteRecord",
                                    "args":["rpt_tol_good","computer='WS1'"]})"));
  EXPECT_EQ(recs[1], json::parse(R"({"object":"report","member":"DeleteRecord",
                                    "args":["rpt_header","computer='WS1' and rpttab='rpt_tol_good'"]})"));
  EXPECT_EQ(recs[2].at("member"), "InsertRecord");
  const std::string sep(kValueListSeparator);
  EXPECT_EQ(recs[2].at("args")[2], "WS1" + sep + "rpt_tol_good" + sep);
  // Each source: its condition through its own CondAfterStr, then the statement.
  const std::string statement =
      "select goodid,sum(Qty*UnitRate) as f_Qty,sum(Amt) as f_amt from rpt_fy_v where "
      "iDate<'2024-04-01' group by goodid ";
  std::map<std::string, size_t> open_at;
  for (size_t i = 0; i < recs.size(); ++i) {
    if (recs[i].at("member") != "OpenRs" || recs[i].at("object") == "report") continue;
    EXPECT_EQ(recs[i].at("args"), json::array({statement}));
    ASSERT_GT(i, 0u);
    EXPECT_EQ(recs[i - 1].at("object"), recs[i].at("object"));
    EXPECT_EQ(recs[i - 1].at("member"), "CondAfterStr");
    EXPECT_EQ(recs[i - 1].at("args"), json::array({"iDate<{d '2024-04-01'}"}));
    open_at[recs[i].at("object")] = i;
  }
  ASSERT_EQ(open_at.size(), 2u);
  EXPECT_LT(open_at["source1"], open_at["source2"]);
  // The final pass looks every good up through the report database.
  EXPECT_EQ(recs.back().at("object"), "report");
  EXPECT_EQ(recs.back().at("member"), "UpdateRecord");
}

TEST_F(GoodsRun, CallsPassEarlierResultsAndSources) {
  ProcessResult r = Rptcalc(TolGood({"--source", "s1.db", "--set", "CondStr=MzZy='1'", "--call",
                                     "CondStr", "--call", "GetDetailCondStr=1001", "--call",
                                     "GetDetailCondStr=@result", "--format", "json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  json calls = json::parse(r.out).at("calls");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], json::parse(R"({"member":"CondStr","result":"MzZy='1'"})"));
  EXPECT_EQ(calls[1].at("member"), "GetDetailCondStr");
  EXPECT_EQ(calls[1].at("result"), "goodid='1001' and (MzZy='1')");
  // A key is a value: its quotes stay data, the caller's condition stays SQL.
  EXPECT_EQ(calls[2].at("result"), "goodid='goodid=''1001'' and (MzZy=''1'')' and (MzZy='1')");

  // No calculation by rptcalc; CalcuRpt called with source 2 alone instead.
  r = Rptcalc(TolGood({"--source", "s1.db", "--source", "s2.db", "--no-calc", "--call",
                       "CalcuRpt=1,@source2", "--format", "json"}));
  ASSERT_EQ(r.status, 0) << r.err;
  const json doc = json::parse(r.out);
  ExpectRows(doc, kSource2);
  EXPECT_EQ(doc.at("calls"), json::parse(R"([{"member":"CalcuRpt","result":null}])"));
}

TEST_F(GoodsRun, NumberPropertiesAndClassesByProgIdAndClsid) {
  const std::string clsid = frame::FindClass("Rpt_KcRk_Price")->clsid.ToString();
  for (const std::string& cls :
       std::vector<std::string>{"Rpt_KcRk_Price", "qevrptcallib.rpt_kcrk_price", clsid}) {
    const ProcessResult r = Rptcalc({"run", cls, "--db", "report.db", "--no-calc", "--set",
                                     "SupFac=-12", "--call", "SupFac",
                                     "--format", "json"});
    ASSERT_EQ(r.status, 0) << cls << ": " << r.err;
    const json calls = json::parse(r.out).at("calls");
    EXPECT_EQ(calls[0].at("result"), -12) << cls;
    EXPECT_TRUE(calls[0].at("result").is_number_integer());
  }
}

TEST_F(GoodsRun, ComponentErrorsExitWithOne) {
  // Rpt_Zy_Good knows no price type for this view: a type mismatch after
  // the preamble.
  ProcessResult r = Rptcalc({"run", "Rpt_Zy_Good", "--db", "report.db", "--workstation", "WS1",
                             "--source", "s1.db", "--set", "SourceViewName=rpt_fy_v", "--set",
                             "RptTab=rpt_zy_good", "--trace", "t.jsonl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  // The component's error as it raised it, then what rptcalc knows of where.
  EXPECT_EQ(r.err,
            "rptcalc: error 13, qevRptCalLib.Rpt_Zy_Good, Type mismatch\n"
            "rptcalc: while calculating Rpt_Zy_Good for workstation WS1 on report database "
            "report.db\n");
  EXPECT_EQ(Rows("report.db",
                 "select headstr from rpt_header where computer='WS1' and rpttab='rpt_zy_good'")
                .size(),
            1u);
  // The trace keeps the calls made until the error.
  std::vector<std::string> members;
  for (const json& rec : Trace("t.jsonl")) members.push_back(rec.at("member"));
  EXPECT_EQ(members, (std::vector<std::string>{"DeleteRecord", "DeleteRecord", "InsertRecord"}));

  // A class whose calculation is not built yet, while there is one.
  const frame::ClassSpec* pending = nullptr;
  for (const frame::ClassSpec& spec : frame::Catalogue())
    if (frame::MakerOf(spec.name) == &frame::MakePendingReport &&
        spec.type_info.Find("RptTab") != nullptr && pending == nullptr)
      pending = &spec;
  if (pending == nullptr) return;
  r = Rptcalc({"run", pending->name, "--db", "report.db", "--set", "RptTab=rpt_tol_good"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err).size(), 2u);
  EXPECT_EQ(r.err.rfind("rptcalc: error 32001, " + pending->progid + ", ", 0), 0u) << r.err;
}

TEST_F(GoodsRun, RefusedCommandLinesWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string words;
  };
  const std::string no_dir = dir_.File("no-such-dir/t.jsonl");
  const std::vector<Case> cases = {
      {{"run", "Rpt_Nope", "--db", "report.db"}, "unknown report class 'Rpt_Nope'"},
      {TolGood({"--set", "Nope=1"}), "no property 'Nope'"},
      {TolGood({"--set", "ComputerName=x"}), "read-only"},
      {{"run", "Rpt_KcRk_Price", "--db", "report.db", "--set", "SupFac=abc"}, "'abc'"},
      {{"run", "Rpt_KcRk_Price", "--db", "report.db", "--set", "SupFac=1.5"}, "'1.5'"},
      {{"run", "Rpt_KcRk_Price", "--db", "report.db", "--set", "SupFac=40000"}, "'40000'"},
      {{"run", "Rpt_Tol_Good", "--db", "missing.db"}, "missing.db does not exist"},
      {TolGood({"--source", "s1.db", "--source", "gone.db"}), "gone.db does not exist"},
      {TolGood({"--trace", no_dir}), "cannot write the trace file"},
      {TolGood({"--trace", dir_.path()}), "cannot write the trace file"},
      {TolGood({"--call", "GetDetailCondStr=@result"}), "@result"},
      {TolGood({"--call", "GetDetailCondStr=@source2"}), "@source2"},
      {TolGood({"--call", "GetDetailCondStr=1,2"}), "takes 1 argument"},
      {TolGood({"--init"}), "RptInit"},
      {TolGood({"--desc", "no-equals-sign"}), "LABEL=VALUE"},
      {TolGood({"--format", "xml"}), "xml"},
      {TolGood({"--bogus"}), "--bogus"},
      {{"run", "Rpt_Tol_Good"}, "--db is required"},
      {{"frobnicate"}, "unknown subcommand 'frobnicate'"},
      // A value holding the value-list separator would shift the header's items.
      {TolGood({"--desc", "period=2024\x1f" "03"}), "separator"},
  };
  const std::set<std::string> before = Files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " ... " + c.args.back());
    ExpectUsageError(Rptcalc(c.args), c.words);
    EXPECT_EQ(Files(), before);
  }
  EXPECT_TRUE(Rows("report.db", "select * from rpt_header").empty());
}

TEST_F(RptcalcTest, ClassesListsTheCatalogueInEveryFormat) {
  ProcessResult r = Rptcalc({"classes", "--format", "json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const json list = json::parse(r.out);
  const auto& catalogue = frame::Catalogue();
  ASSERT_EQ(list.size(), catalogue.size());
  for (size_t i = 0; i < catalogue.size(); ++i) {
    EXPECT_EQ(list[i].at("progid"), catalogue[i].progid);
    EXPECT_EQ(list[i].at("clsid"), catalogue[i].clsid.ToString());
    EXPECT_EQ(list[i].at("members").size(), catalogue[i].type_info.members().size());
  }
  const json& kc_zz = list[7];
  ASSERT_EQ(kc_zz.at("class"), "Rpt_Kc_Zz");
  const json& calcu = kc_zz.at("members")[9];
  EXPECT_EQ(calcu.at("name"), "CalcuRpt");
  EXPECT_EQ(calcu.at("kind"), "method");
  EXPECT_EQ(calcu.at("params").size(), 4u);
  EXPECT_EQ(calcu.at("params")[0].at("type"), "Integer");
  EXPECT_EQ(calcu.at("params")[3].at("optional"), true);
  EXPECT_EQ(kc_zz.at("members")[8].at("access"), "get");  // QueryDbSelect

  r = Rptcalc({"classes", "--format", "csv"});
  ASSERT_EQ(r.status, 0);
  const auto records = Lines(r.out);
  ASSERT_EQ(records.size(), 23u);
  EXPECT_EQ(records[0], "class,progid,clsid,interface,iid,members");
  EXPECT_EQ(records[1].rfind("Rpt_Tol_Good,qevRptCalLib.Rpt_Tol_Good,", 0), 0u);
  EXPECT_NE(records[1].find(",\"SourceViewName As String (get/let); RptTab"), std::string::npos);

  r = Rptcalc({"classes"});
  ASSERT_EQ(r.status, 0);
  for (const auto& spec : catalogue) {
    EXPECT_NE(r.out.find(spec.progid), std::string::npos);
    EXPECT_NE(r.out.find(spec.clsid.ToString()), std::string::npos);
  }
  EXPECT_NE(r.out.find("GetDetailCondStr(KeyValue As String) As String"), std::string::npos);
}

TEST_F(RptcalcTest, RegisterAndUnregisterTheLibraries) {
  const Registry registry(dir_.File("registry/classes.reg"));
  ProcessResult r = Rptcalc({"register"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Each library registers its own classes with its own path
  // (tests/frame/library_test.cpp, tests/utility/shared_library_test.cpp):
  // 22 report classes and the utility library's one mean both were found.
  ASSERT_EQ(registry.Load().size(), 23u);
  r = Rptcalc({"unregister"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(registry.Load().empty());
}

}  // namespace
}  // namespace qev::testing
