// Rpt_Tol_Rbb: one cashier's daily settlement sheet.
//
// For the transactions that CondStr selects in every source database, the
// calculation writes for the workstation:
//   - rpt_Tol_rbb: one summary row with the submitting cashier, the day,
//     the number of charges, refunds, registrations, registration returns
//     (each with its voids), top-ups, top-up refunds and deposits per
//     deposit type, and a memo that spells those counts out;
//   - rpt_Tol_Rbb_Infod: one row per money source ("InAmt" top-ups, "Reg"
//     registrations, each charge fb value, "Yjk" deposits) with its amounts
//     by settlement method, numbered in order of first sight, then the
//     total row "Hj", and hjamt on every row;
//   - rpt_rbbd (rpttab "rpt_Tol_rbb"): one line per money source and per
//     charge category with its amount, display name and sort number.
//
// Every phase traps its own errors and hands them to the utility library's
// error reporter, so that a failing phase leaves what it wrote and the next
// phase still runs; CalcuRpt returns normally (frame/error_trap.h).
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "frame/Func_Mode.h"
#include "frame/error_trap.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/checked.h"
#include "reports/cashier/daily_sheet.h"

namespace qev::frame {

namespace {

constexpr const char* kSheet = "rpt_Tol_rbb";
constexpr const char* kSources = "rpt_Tol_Rbb_Infod";
constexpr const char* kLines = "rpt_rbbd";

// The memo's items in order: the counter column, its label and its unit
// ("笔" transactions, "个" registrations).
struct MemoItem {
  const char* column;
  const char* label;
  const char* unit;
};
constexpr MemoItem kMemo[] = {
    {"inamtqty", "冲值总数", "笔;"}, {"outamtqty", "冲值退费", "笔;"},
    {"ghqty", "挂号总数", "个;"},    {"ghzfqty", "作废", "个;"},
    {"thqty", "退号总数", "个;"},    {"thzfqty", "作废", "个;"},
    {"sfqty", "收费总数", "笔;"},    {"sfzfqty", "作废", "笔;"},
    {"tfqty", "退费总数", "笔;"},    {"tfzfqty", "作废", "笔;"},
    {"yjkqty1", "押金收取", "笔;"},  {"yjkqty2", "押金冲销", "笔;"},
    {"yjkqty3", "结算补收", "笔;"},  {"yjkqty4", "结算补收冲销", "笔;"},
    {"yjkqty5", "结算退还", "笔;"},  {"yjkqty6", "结算退还冲销", "笔;"},
};

// The category lines that are money sources: their sort number and name.
// Any other line is a charge category, named from qev_pub_Type_Fpxm.
struct SourceLine {
  const char* key;
  const char* sn;
  const char* name;
};
constexpr SourceLine kSourceLines[] = {
    {"InAmt", "-1", "冲值金额"},
    {"Reg", "0", "挂号费"},
    {"Yjk", "1000", "住院押金"},
};

// A stored value where Null counts as 0.
Variant NullAsZero(const Variant& v) { return v.IsNull() ? Variant(int16_t{0}) : v; }

// A field of the current row as a number or as text; Null fails (error 94).
double Dbl(const Recordset& rs, const char* field) { return rs.Fields(field).ToDouble(); }
std::string Text(const Recordset& rs, const char* field) { return rs.Fields(field).ToText(); }

class Rpt_Tol_Rbb : public DailySheet {
 public:
  using DailySheet::DailySheet;

 private:
  template <typename Body>
  void Trap(const char* proc, Body&& body) {
    ReportingErrors("Rpt_Tol_Rbb", proc, body);
  }

  // The workstation's rows of the three tables, cleared by RptInit and at
  // the start of CalcuRpt.
  void DeleteSheetRows() const {
    RptQueryObj().DeleteRecord(kSheet, OwnRows());
    RptQueryObj().DeleteRecord(kLines, OwnRows() + " and rptTab='" + kSheet + "'");
    RptQueryObj().DeleteRecord(kSources, OwnRows());
  }

  // Leaves the empty sheet: the summary row holds the workstation only.
  // Traps nothing.
  void RptInit() override {
    DeleteSheetRows();
    RptQueryObj().InsertRecord(kSheet, "computer", ComputerName());
  }

  void CalcuRpt(const SourceArgs& a) override {
    Trap("CalcuRpt", [&] {
      DeleteSheetRows();
      CalcuValueQty(a);
      DetailSn_ = 0;
      CalcuValueDetail(a);
      CalcuValueType(a);
      CalcuAveragePercent();
    });
  }

  // The caller's condition on source Q after `connector` (" and " or
  // " where "); nothing, and no call of CondAfterStr, without one.
  std::string CondOn(const QueryObj& Q, const char* connector) const {
    return CondStr_.empty() ? std::string() : connector + Q.CondAfterStr(CondStr_);
  }

  // Runs a grouping statement on Q and hands each row to `use` (16-bit row
  // loop); closes it.
  template <typename Use>
  static void ForEachGroup(const QueryObj& Q, const std::string& sql, Use&& use) {
    const Recordset rs = Q.OpenRs(sql);
    ForEachRow(rs, [&](int16_t) { use(rs); });
    rs.Close();
  }

  // Runs a statement without grouping and hands its one row to `use` when
  // the first column is not Null; closes it either way.
  template <typename Use>
  static void WithSums(const QueryObj& Q, const std::string& sql, Use&& use) {
    const Recordset rs = Q.OpenRs(sql);
    if (!rs.Fields(int16_t{0}).IsNull()) use(rs);
    rs.Close();
  }

  // ---- Counts ----------------------------------------------------------

  void CalcuValueQty(const SourceArgs& a) {
    Trap("CalcuValueQty", [&] {
      RptQueryObj().InsertRecord(kSheet, "computer,submiter,jzrday",
                                 JoinValues(ValueSplitStr(), {ComputerName(), Submiter_, JzrDay_}));
      for (int k = 1; k <= a.Count(); ++k) {
        const QueryObj Q = a.Source(k);
        ForEachGroup(Q,
                     "select count(*) as InAmtQty,Inout from qev_Mem_InAmt_V where jsfs3amt=0  " +
                         CondOn(Q, " and ") + " group by inout",
                     [&](const Recordset& rs) {
                       const std::string inout = Text(rs, "inout");
                       ChangeValueInOutQty(inout, rs.Fields("InAmtQty").ToInt16());
                     });
        ForEachGroup(Q,
                     "select count(*) as RegQty,inout,state from qev_Reg_info" +
                         CondOn(Q, " where ") + " group by inout,state",
                     [&](const Recordset& rs) {
                       const std::string inout = Text(rs, "inout"), state = Text(rs, "state");
                       ChangeValueGhQty(inout, state, rs.Fields("regqty").ToInt16());
                     });
        ForEachGroup(Q,
                     "select count(*) as TolhQty,inout,state  from qev_Tol_infoh" +
                         CondOn(Q, " where ") + " group by inout,state",
                     [&](const Recordset& rs) {
                       const std::string inout = Text(rs, "inout"), state = Text(rs, "state");
                       ChangeValueTolQty(inout, state, rs.Fields("TolhQty").ToInt16());
                     });
        ForEachGroup(Q,
                     "select count(*) as YjkQty,Type from qev_Zyyjk_Info " + CondOn(Q, " where ") +
                         " group by Type",
                     [&](const Recordset& rs) {
                       const std::string type = Text(rs, "type");
                       ChangeValueYjkQty(type, rs.Fields("YjkQty").ToInt16());
                     });
      }
    });
  }

  // Adds qty to each counter of the workstation's summary row, which
  // CalcuValueQty has inserted.
  void AddCounts(std::initializer_list<std::string> counters, int16_t qty) {
    const Recordset rs =
        RptQueryObj().OpenRs(std::string("select * from ") + kSheet + " where  " + OwnRows());
    std::string F = "computer";
    ValueList V(ValueSplitStr(), {ComputerName()});
    for (const std::string& counter : counters) {
      F += "," + counter;
      V.Add(VarAdd(NullAsZero(rs.Fields(counter)), Variant(qty)));
    }
    RptQueryObj().UpdateRecord(kSheet, F, V.str(), OwnRows());
    rs.Close();
  }

  // A settlement group: money in ("1") or paid back (anything else), and
  // void (state "0") groups counted in the void counter as well.
  void CountSettlements(const std::string& inout, const std::string& state, int16_t qty,
                        const std::string& in, const std::string& back) {
    const std::string& kind = inout == "1" ? in : back;
    if (state == "0") {
      AddCounts({kind + "qty", kind + "zfqty"}, qty);
    } else {
      AddCounts({kind + "qty"}, qty);
    }
  }

  void ChangeValueTolQty(const std::string& inout, const std::string& state, int16_t qty) {
    Trap("ChangeValueTolQty", [&] { CountSettlements(inout, state, qty, "sf", "tf"); });
  }

  void ChangeValueGhQty(const std::string& inout, const std::string& state, int16_t qty) {
    Trap("ChangeValueGhQty", [&] { CountSettlements(inout, state, qty, "gh", "th"); });
  }

  void ChangeValueInOutQty(const std::string& inout, int16_t qty) {
    Trap("ChangeValueInOutQty", [&] { AddCounts({inout == "1" ? "inamtqty" : "outamtqty"}, qty); });
  }

  // The counter is named from the type code as read, unchecked: a code
  // without a Yjkqty column fails here and is reported.
  void ChangeValueYjkQty(const std::string& type, int16_t qty) {
    Trap("ChangeValueYjkQty", [&] { AddCounts({"Yjkqty" + type}, qty); });
  }

  // ---- Amounts by money source -----------------------------------------

  void CalcuValueDetail(const SourceArgs& a) {
    Trap("CalcuValueDetail", [&] {
      for (int k = 1; k <= a.Count(); ++k) {
        const QueryObj Q = a.Source(k);
        WithSums(Q,
                 "select sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,sum(jsfs4amt) as "
                 "f_jsfs4amt from qev_Mem_InAmt where jsfs3amt=0  " +
                     CondOn(Q, " and "),
                 [&](const Recordset& rs) {
                   ChangeValueDetail("InAmt", 0, 0, Dbl(rs, "f_jsfs1amt"), Dbl(rs, "f_jsfs2amt"), 0,
                                     Dbl(rs, "f_jsfs4amt"));
                 });
        WithSums(Q,
                 "select sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,sum(jsfs3amt) as "
                 "f_jsfs3amt,sum(jsfs4amt) as f_jsfs4amt from qev_Reg_info where state='1' " +
                     CondOn(Q, " and "),
                 [&](const Recordset& rs) {
                   ChangeValueDetail("Reg", 0, 0, Dbl(rs, "f_jsfs1amt"), Dbl(rs, "f_jsfs2amt"),
                                     Dbl(rs, "f_jsfs3amt"), Dbl(rs, "f_jsfs4amt"));
                 });
        ForEachGroup(Q,
                     "select fb,sum(bxamt) as f_bxamt,sum(bcamt) as f_bcamt,sum(jsfs1amt) as "
                     "f_jsfs1amt,sum(jsfs2amt) as f_jsfs2amt,sum(jsfs3amt) as "
                     "f_jsfs3amt,sum(jsfs4amt) as f_jsfs4amt from qev_Tol_infoh where state='1' " +
                         CondOn(Q, " and ") + "  group by fb",
                     [&](const Recordset& rs) {
                       ChangeValueDetail(Text(rs, "fb"), Dbl(rs, "f_bxamt"), Dbl(rs, "f_bcamt"),
                                         Dbl(rs, "f_jsfs1amt"), Dbl(rs, "f_jsfs2amt"),
                                         Dbl(rs, "f_jsfs3amt"), Dbl(rs, "f_jsfs4amt"));
                     });
        WithSums(Q,
                 "select sum(bcamt) as f_bcamt,sum(jsfs1amt) as f_jsfs1amt,sum(jsfs2amt) as "
                 "f_jsfs2amt,sum(jsfs3amt) as f_jsfs3amt,sum(jsfs4amt) as f_jsfs4amt from "
                 "qev_Zyyjk_Info " +
                     CondOn(Q, " where "),
                 [&](const Recordset& rs) {
                   ChangeValueDetail("Yjk", 0, Dbl(rs, "f_bcamt"), Dbl(rs, "f_jsfs1amt"),
                                     Dbl(rs, "f_jsfs2amt"), Dbl(rs, "f_jsfs3amt"),
                                     Dbl(rs, "f_jsfs4amt"));
                 });
      }
    });
  }

  // Inserts the money source's row, numbered by DetailSn, or adds the
  // amounts to it; its Sn stays from the first insert.
  void ChangeValueDetail(const std::string& NameID, double SkAmt, double BcAmt, double XjAmt,
                         double YlAmt, double ZhAmt, double QtAmt) {
    Trap("ChangeValueDetail", [&] {
      const std::string S = ValueSplitStr();
      const std::string cond = OwnRows() + " and nameid='" + Quote(NameID) + "'";
      const Recordset rs =
          RptQueryObj().OpenRs(std::string("select * from ") + kSources + " where  " + cond);
      if (rs.RecordCount() == 0) {
        const std::string values = JoinValues(
            S, {ComputerName(), NameID, SkAmt, XjAmt, YlAmt, ZhAmt, QtAmt, BcAmt, DetailSn_});
        // DetailSn is 16-bit: the key that would take Sn 32767 fails here,
        // before its row is written, and so does every later new key.
        DetailSn_ = CheckedAdd16(DetailSn_, 1);
        RptQueryObj().InsertRecord(
            kSources, "computer,nameid,SkAmt,XjAmt,YlAmt,ZhAmt,QtAmt,BcAmt,Sn", values);
      } else {
        const auto add = [&](const char* column, double amt) {
          return VarAdd(NullAsZero(rs.Fields(column)), Variant(amt));
        };
        RptQueryObj().UpdateRecord(
            kSources, "SkAmt,XjAmt,YlAmt,ZhAmt,QtAmt,BcAmt",
            JoinValues(S, {add("SkAmt", SkAmt), add("XjAmt", XjAmt), add("YlAmt", YlAmt),
                           add("ZhAmt", ZhAmt), add("QtAmt", QtAmt), add("BcAmt", BcAmt)}),
            cond);
      }
      rs.Close();
    });
  }

  // ---- Category lines --------------------------------------------------

  void CalcuValueType(const SourceArgs& a) {
    Trap("CalcuValueType", [&] {
      for (int k = 1; k <= a.Count(); ++k) {
        const QueryObj Q = a.Source(k);
        const auto line = [&](const char* key) {
          return [this, key](const Recordset& rs) { ChangeValueType(key, Dbl(rs, "f_amt")); };
        };
        WithSums(
            Q,
            "select sum(amt) as f_amt from qev_Mem_InAmt_V where jsfs3amt=0 " + CondOn(Q, " and "),
            line("InAmt"));
        WithSums(Q,
                 "select sum(amt) as f_amt from qev_Reg_info where state='1' " + CondOn(Q, " and "),
                 line("Reg"));
        ForEachGroup(
            Q,
            "select fpxmid,sum(Amt) as f_amt from rpt_Tol_V  " + CondOn(Q, " where ") +
                "  group by fpxmid",
            [&](const Recordset& rs) { ChangeValueType(Text(rs, "fpxmid"), Dbl(rs, "f_amt")); });
        WithSums(Q, "select sum(amt) as f_amt from qev_Zyyjk_Info " + CondOn(Q, " where "),
                 line("Yjk"));
      }
    });
  }

  void ChangeValueType(const std::string& Name, double Amt) {
    Trap("ChangeValueType", [&] {
      const std::string cond = " name='" + Quote(Name) + "' and computer='" +
                               Quote(ComputerName()) + "' and rpttab='" + kSheet + "'";
      const Recordset rs = RptQueryObj().OpenRs(
          std::string("select computer,name,rpttab, amt from ") + kLines + " where " + cond);
      if (rs.RecordCount() == 0) {
        RptQueryObj().InsertRecord(
            kLines, "computer,rpttab,name,amt",
            JoinValues(ValueSplitStr(), {ComputerName(), kSheet, Name, Amt}));
      } else {
        // The new amount goes unrounded, in the number text of a value list.
        RptQueryObj().UpdateRecord(kLines, "amt",
                                   ConcatText(VarAdd(rs.Fields("amt"), Variant(Amt))), cond);
      }
      rs.Close();
    });
  }

  // ---- Finishing -------------------------------------------------------

  // The memo of counts, the total row and hjamt, the lines' names and sort
  // numbers.
  void CalcuAveragePercent() {
    Trap("CalcuAveragePercent", [&] {
      {
        const Recordset rs =
            RptQueryObj().OpenRs(std::string("select * from ") + kSheet + "  where " + OwnRows());
        if (rs.RecordCount() != 0) {
          std::string memo;
          for (const MemoItem& item : kMemo) {
            const Variant count = rs.Fields(item.column);
            if (!count.IsNull()) memo += item.label + ConcatText(count) + item.unit;
          }
          RptQueryObj().UpdateRecord(kSheet, "memostr", memo, OwnRows());
        }
        rs.Close();
      }
      {
        const Recordset rs = RptQueryObj().OpenRs(
            "select sum(skamt) as f_skamt,sum(xjamt) as f_xjamt,sum(ylamt) as f_ylamt,sum(zhamt) "
            "as f_zhamt,sum(qtamt) as f_qtamt,sum(bcamt) as f_bcamt from rpt_Tol_Rbb_Infod where " +
            OwnRows());
        if (!rs.Fields(int16_t{0}).IsNull()) {
          const double sk = Dbl(rs, "f_skamt"), xj = Dbl(rs, "f_XjAmt"), yl = Dbl(rs, "f_YlAmt"),
                       zh = Dbl(rs, "f_ZhAmt"), qt = Dbl(rs, "f_QtAmt"), bc = Dbl(rs, "f_BcAmt");
          rs.Close();
          ChangeValueDetail("Hj", sk, bc, xj, yl, zh, qt);
        } else {
          rs.Close();
        }
      }
      RptQueryObj().Exec(
          "update rpt_Tol_Rbb_Infod set hjamt=skamt+xjamt+ylamt+zhamt+qtamt  where " + OwnRows());
      const std::string lines = OwnRows() + " and rpttab='" + kSheet + "'";
      const Recordset rs = RptQueryObj().OpenRs(std::string("select name,nameid,sn from ") +
                                                kLines + "  where " + lines);
      ForEachRow(rs, [&](int16_t) {
        const std::string key = Text(rs, "name");
        ValueList V(ValueSplitStr(), {key});
        const SourceLine* source = nullptr;
        for (const SourceLine& s : kSourceLines)
          if (key == s.key) source = &s;
        if (source != nullptr) {
          V.Add(source->sn).Add(source->name);
        } else {
          const std::string cond = "id='" + Quote(key) + "'";
          V.Add(RptQueryObj().TabFieldValue("Mzsn", "qev_pub_Type_Fpxm", cond));
          V.Add(RptQueryObj().TabFieldValue("name", "qev_pub_Type_Fpxm", cond));
        }
        RptQueryObj().UpdateRecord(kLines, "nameid,Sn,Name", V.str(),
                                   lines + " and name='" + Quote(key) + "'");
      });
      rs.Close();
    });
  }

  // Numbers the rows inserted into rpt_Tol_Rbb_Infod during one
  // calculation.
  int16_t DetailSn_ = 0;
};

}  // namespace

Object MakeRpt_Tol_Rbb(const ClassSpec& spec) { return std::make_shared<Rpt_Tol_Rbb>(spec); }

}  // namespace qev::frame
