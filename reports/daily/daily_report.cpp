#include "reports/daily/daily_report.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "frame/Func_Mode.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "frame/value_list.h"
#include "platform/checked.h"
#include "platform/ci_map.h"

namespace qev::frame {

namespace {

// The items of a comma-separated list.
std::vector<std::string> SplitAtCommas(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// The number a text starts with, as a host reads "the leading number" of
// an item: blanks, a sign, digits and a decimal part; 0 when the text does
// not start with a number ("", "x", "-").
double LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  std::string number = text.substr(start, i - start);
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  double value = 0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  return value;
}

}  // namespace

bool DailyReport::InvokeOwn(const MemberInfo& member, InvokeKind, ArgList& args,
                            Variant* result) {
  if (EqualsNoCase(member.name, "GetDetailCondStr")) {
    *result = Variant(GetDetailCondStr(args[0].ToText()));
    return true;
  }
  if (EqualsNoCase(member.name, "UpdateHeader")) {
    UpdateHeader(args[0].ToText());
    return true;
  }
  return false;
}

bool DayFiguresReport::InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                                 Variant* result) {
  if (EqualsNoCase(member.name, "CalcuRpt")) {
    CalcuRpt(SourceArgs::From(args));
    return true;
  }
  if (EqualsNoCase(member.name, "CalcuDayQty")) {
    *result = Variant(CalcuDayQty(SourceArgs::From(args)));
    return true;
  }
  return DailyReport::InvokeOwn(member, kind, args, result);
}

void DayFiguresReport::CalcuRpt(const SourceArgs& sources) {
  CheckNames();
  CommonPreamble();
  if (AmtQty_ == 1)
    CalcuSourceDb(sources);
  else
    CalcuQty(sources);
  FinishRows(NameTableOfObjField());
}

void DailyReport::CheckNames() const {
  CheckTableName("RptTab", RptTab_, spec().progid);
  CheckTableName("SourceViewName", SourceViewName_, spec().progid);
}

std::string DailyReport::DayColumn(const Variant& day) {
  // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
  return std::string("f").append(std::to_string(SplitDate(day.ToDate()).day));
}

void DailyReport::ChangeDayValue(const std::string& Name, const Variant& Day, double Amt) {
  MergeIntoDay(Name, Day, Variant(Amt), Variant(0.0));
}

void DailyReport::ChangeDayQty(const std::string& Name, const Variant& Day, double Amt) {
  if (Amt == 0) return;
  const int16_t s = Amt > 0 ? 1 : -1;
  MergeIntoDay(Name, Day, Variant(s), Variant(int16_t{0}));
}

void DailyReport::MergeIntoDay(const std::string& Name, const Variant& Day, const Variant& add,
                               const Variant& zero) {
  const std::string S = ValueSplitStr();
  const std::string col = DayColumn(Day);
  const std::string cond =
      "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
  const Recordset rs = RptQueryObj().OpenRs("select computer,name, amt," + col + " from " +
                                            RptTab_ + " where " + cond);
  if (rs.RecordCount() == 0) {
    RptQueryObj().InsertRecord(RptTab_, "computer,name,amt," + col,
                               JoinValues(S, {ComputerName(), Name, add, add}));
  } else {
    const Variant old_day = rs.Fields(col);
    const Variant day = VarAdd(old_day.IsNull() ? zero : old_day, add);
    RptQueryObj().UpdateRecord(RptTab_, "amt," + col,
                               JoinValues(S, {VarAdd(rs.Fields("amt"), add), day}), cond);
  }
  rs.Close();
}

void DailyReport::FinishRows(const std::string& name_table) {
  const std::string S = ValueSplitStr();
  const Recordset rs = RptQueryObj().OpenRs("select name,nameid from " + RptTab_ +
                                            "  where computer='" + Quote(ComputerName()) + "'");
  ForEachRow(rs, [&](int16_t) {
    const std::string name = rs.Fields("name").ToText();
    std::string F = "nameid";
    ValueList V(S, {name});
    if (!name_table.empty()) {
      F += ",name";
      V.Add(RptQueryObj().TabFieldValue("name", name_table, "id='" + Quote(name) + "'"));
    }
    RptQueryObj().UpdateRecord(
        RptTab_, F, V.str(),
        "computer='" + Quote(ComputerName()) + "' and name='" + Quote(name) + "'");
  });
  rs.Close();
}

std::string DailyReport::NameTableOfObjField() const {
  // Matched without regard to case.
  static const CiMap<std::string>* tables = new CiMap<std::string>{
      {"DEPAID", "qev_pub_depa"},        {"DOCTORID", "qev_pub_user"},
      {"FPXMID", "qev_pub_type_fpxm"},   {"BBXM1ID", "qev_pub_type_bbxm1"},
      {"BBXM2ID", "qev_pub_type_bbxm2"}, {"TJXM1ID", "qev_pub_type_tjxm1"},
      {"GOODID", "qev_pub_good"},
  };
  const auto it = tables->find(ObjField_);
  return it == tables->end() ? "" : it->second;
}

std::string DailyReport::EmptyDayList() {
  std::string L = "0";
  for (int k = 1; k < 31; ++k) L += ",0";
  return L;
}

std::string DailyReport::ChangeDayList(const std::string& L, const Variant& Day, double Amt) {
  const int16_t d = static_cast<int16_t>(SplitDate(Day.ToDate()).day);
  const int16_t c = Variant(ArrayItem(L, static_cast<int16_t>(d - 1), "")).ToInt16();
  if (Amt == 0) return L;
  const int16_t changed = CheckedAdd16(c, Amt > 0 ? 1 : -1);
  return ArrayReplace(L, Variant(static_cast<int16_t>(d - 1)), std::to_string(changed), 0, "");
}

void DailyReport::CountDays(const Recordset& rs, const char* day_field, std::string* L) {
  if (!rs.BOF() && !rs.EOF_()) {
    ForEachRow(rs, [&](int16_t) {
      *L = ChangeDayList(*L, rs.Fields(day_field), rs.Fields("sfamt").ToDouble());
    });
  }
  rs.Close();
}

std::string DailyReport::DayQtyText(const std::string& L) {
  int16_t total = 0;
  for (const std::string& item : SplitAtCommas(L))
    total = CheckedAdd16(total, Variant(item).ToInt16());
  return std::to_string(total) + "," + L;
}

std::string DailyReport::GetDetailCondStr(const std::string& KeyValue) const {
  std::string cond = ObjColumn() + "='" + Quote(KeyValue) + "'";
  if (!CondStr_.empty()) cond += " and  (" + CondStr_ + ")";
  return cond;
}

void DailyReport::UpdateHeader(const std::string& DayQty) {
  // Item 0 is the total (allqty), item i the count of day i (fi); items
  // that read as 0 are not written, so those columns keep what the header
  // row had. When the total is 0 but a day is not (counts that cancel over
  // the month), the field list starts with that day's column instead of a
  // comma: the non-zero days are written and allqty is left as it was.
  const std::string S = ValueSplitStr();
  std::string F;
  ValueList V(S);
  const std::vector<std::string> items = SplitAtCommas(DayQty);
  for (size_t i = 0; i < items.size(); ++i) {
    if (LeadingNumber(items[i]) == 0) continue;
    if (!F.empty()) F += ",";
    F += i == 0 ? std::string("allqty") : std::string("f").append(std::to_string(i));
    V.Add(Variant(items[i]));
  }
  if (F.empty()) return;
  RptQueryObj().UpdateRecord(
      "rpt_header", F, V.str(),
      "computer='" + Quote(ComputerName()) + "' and rpttab='" + Quote(RptTab_) + "'");
}

}  // namespace qev::frame
