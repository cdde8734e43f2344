// Rpt_KcRk_Price: the last purchase price per supplier (SupFac 1) or per
// factory (any other SupFac) over the stock receipts that CondStr selects,
// read from one to three source databases. Each supplier or factory keeps
// one row: its latest receipt by date and, among receipts of that date,
// the one with the lowest price per base unit (jhprice / UnitRate). The
// last pass writes the supplier's or factory's name from the business
// partners' table.
#include <memory>

#include "frame/Func_Mode.h"
#include "frame/report_component.h"
#include "frame/report_makers.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

class Rpt_KcRk_Price : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args, Variant* result) override {
    // ObjField is computed from SupFac here; the stored ObjField of the
    // common block is not used.
    if (EqualsNoCase(member.name, "ObjField")) {
      *result = Variant(ObjField());
      return true;
    }
    if (EqualsNoCase(member.name, "CalcuRpt")) {
      CalcuRpt(SourceArgs::From(args));
      return true;
    }
    if (EqualsNoCase(member.name, "GetDetailCondStr")) {
      *result = Variant(GetDetailCondStr(args[0].ToText()));
      return true;
    }
    return false;
  }

 private:
  // The source column that names the row: the supplier for SupFac 1, the
  // factory for any other value. Computed at every read.
  std::string ObjField() const { return SupFac_ == 1 ? "SupplierID" : "FactoryID"; }

  // "" without CondStr, else " where " and the condition in the source
  // database's own dialect. CondAfterStr is called in both cases, as in the
  // other reports; with an empty CondStr its result is not used.
  std::string WhereOf(const QueryObj& Q) const {
    const std::string cond = Q.CondAfterStr(CondStr_);
    return CondStr_.empty() ? "" : " where " + cond;
  }

  void CalcuRpt(const SourceArgs& sources) {
    CommonPreamble();
    CalcuSourceDb(sources);
    FinishRpt();
  }

  // Every selected receipt of database 1, database 2 when SourceNum > 1 and
  // database 3 when SourceNum > 2, one at a time into ChangePrice.
  void CalcuSourceDb(const SourceArgs& sources) {
    for (int k = 1; k <= sources.Count(); ++k) {
      const QueryObj Q = sources.Source(k);
      const std::string W = WhereOf(Q);
      const std::string obj = ObjField();
      const Recordset rs =
          Q.OpenRs("select idate," + obj + ",Qty,UnitRate,UnitName,jhprice,jhAmt from " +
                   SourceViewName_ + W);
      ForEachRow(rs, [&](int16_t) {
        // A Null date, quantity, rate, unit, price or amount ends the
        // calculation with the conversion error; a receipt without a
        // supplier or factory joins the row of the empty id.
        const Date date = rs.Fields("idate").ToDate();
        const Variant id_value = rs.Fields(obj);
        const std::string id = id_value.IsNull() ? std::string() : id_value.ToText();
        const double qty = rs.Fields("Qty").ToDouble();
        const double rate = rs.Fields("UnitRate").ToDouble();
        const std::string unit = rs.Fields("UnitName").ToText();
        const double price = rs.Fields("jhprice").ToDouble();
        const double amount = rs.Fields("jhamt").ToDouble();
        ChangePrice(date, id, qty, rate, unit, price, amount);
      });
      rs.Close();
    }
  }

  // Keeps the receipt in the row of its supplier or factory when it is the
  // first one, later than the kept one, or of the same date and cheaper per
  // base unit. Of receipts of the same date and price per base unit the
  // first one read stays.
  void ChangePrice(Date date, const std::string& id, double qty, double rate,
                   const std::string& unit, double price, double amount) {
    const std::string S = ValueSplitStr();
    const std::string cond =
        "name='" + Quote(id) + "' and computer='" + Quote(ComputerName()) + "'";
    const Recordset rs = RptQueryObj().OpenRs(
        "select computer,iDate,Name,JhPrice,qty,UnitRate,UnitName, Jhamt from " + RptTab_ +
        " where " + cond);
    if (rs.RecordCount() == 0) {
      // The date goes in as its text (yyyy-mm-dd, with the time of day
      // when it has one).
      RptQueryObj().InsertRecord(
          RptTab_, "computer,iDate,qty,UnitRate,UnitName,Name,JhPrice,Jhamt",
          JoinValues(S, {ComputerName(), date, FormatDec(qty), rate, unit, id, price, amount}));
    } else {
      const Date stored = rs.Fields("iDate").ToDate();
      if (date.serial > stored.serial) {
        RptQueryObj().UpdateRecord(
            RptTab_, "iDate,qty,UnitRate,UnitName,Name,JhPrice,Jhamt",
            JoinValues(S, {date, FormatDec(qty), rate, unit, id, price, amount}), cond);
      } else if (date.serial == stored.serial) {
        // Prices per base unit; a rate of 0 on either side ends the
        // calculation with the division error. A kept row whose price or
        // rate a host cleared (Null) is not compared and stays.
        const Variant fresh = VarDiv(Variant(price), Variant(rate));
        const Variant kept = VarDiv(rs.Fields("JhPrice"), rs.Fields("unitrate"));
        if (!kept.IsNull() && fresh.ToDouble() < kept.ToDouble()) {
          RptQueryObj().UpdateRecord(RptTab_, "qty,UnitRate,UnitName,Name,JhPrice,Jhamt",
                                     JoinValues(S, {FormatDec(qty), rate, unit, id, price, amount}),
                                     cond);
        }
      }
    }
    rs.Close();
  }

  // nameid keeps the supplier or factory id, name gets its name; suppliers
  // and factories share one table of business partners.
  void FinishRpt() {
    const std::string S = ValueSplitStr();
    const Recordset rs = RptQueryObj().OpenRs("select name,nameid from " + RptTab_ +
                                              "  where computer='" + Quote(ComputerName()) + "'");
    ForEachRow(rs, [&](int16_t) {
      const std::string name = ConcatText(rs.Fields("name"));
      RptQueryObj().UpdateRecord(
          RptTab_, "nameid,name",
          JoinValues(S, {name, RptQueryObj().TabFieldValue("name", "qev_pub_xydw",
                                                           "id='" + Quote(name) + "'")}),
          "computer='" + Quote(ComputerName()) + "' and name='" +
              Quote(ConcatText(rs.Fields("Name"))) + "'");
    });
    rs.Close();
  }

  // The caller's condition first; for factories the receipts without a
  // factory are always included.
  std::string GetDetailCondStr(const std::string& KeyValue) {
    const std::string P = CondStr_.empty() ? "" : "(" + CondStr_ + ") and ";
    const std::string obj = ObjField();
    if (SupFac_ == 1) return P + obj + "='" + Quote(KeyValue) + "'";
    return P + "(" + obj + "='" + Quote(KeyValue) + "' or " + obj + " is null )";
  }
};

}  // namespace

Object MakeRpt_KcRk_Price(const ClassSpec& spec) { return std::make_shared<Rpt_KcRk_Price>(spec); }

}  // namespace qev::frame
