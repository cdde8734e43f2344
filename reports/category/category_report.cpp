#include "reports/category/category_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "frame/Func_Mode.h"
#include "frame/row_loop.h"
#include "frame/sql_quote.h"
#include "platform/checked.h"
#include "platform/ci_map.h"

namespace qev::frame {

std::string CategoryReport::WhereOf(const QueryObj& Q) const {
  const std::string cond = Q.CondAfterStr(CondStr_);
  return CondStr_.empty() ? "" : " where " + cond;
}

std::string CategoryReport::QtyFieldStr() const {
  switch (QtyIndex_) {
    case 1: return "RegID,Name";
    case 2: return "RegID,Name,JzrDay";
    case 3: return "ID";
    default: return "";
  }
}

std::string CategoryReport::QtyKeyValue(const Recordset& rs) const {
  const std::string S = ValueSplitStr();
  const std::string fields = QtyFieldStr();
  std::string key;
  size_t start = 0;
  while (start < fields.size()) {
    size_t comma = fields.find(',', start);
    if (comma == std::string::npos) comma = fields.size();
    if (start > 0) key += S;
    key += ConcatText(rs.Fields(fields.substr(start, comma - start)));
    start = comma + 1;
  }
  return key;
}

void CategoryReport::CalcuQtyOverDatabases(const SourceArgs& sources,
                                           const std::string& key_field) {
  MergeQtyOverDatabases(sources, key_field, /*by_day=*/false, [&](const Recordset& rs) {
    ChangeQty(rs.Fields("ObjField").ToText(), rs.Fields("Sfamt").ToDouble());
  });
}

void CategoryReport::MergeQtyOverDatabases(const SourceArgs& sources,
                                           const std::string& key_field, bool by_day,
                                           const std::function<void(const Recordset&)>& count) {
  const std::string CN = Quote(ComputerName());
  RptQueryObj().DeleteRecord("tem_rpt_qty", "computer='" + CN + "'");
  const std::string S = ValueSplitStr();
  const std::string keys = QtyFieldStr();
  const std::string fields =
      "temid,computer," + keys + ",objfield," + (by_day ? "jzrday," : "") + "amt";
  // Databases 1 and 2 always (this path is taken for any SourceNum but 1),
  // database 3 when SourceNum reaches it.
  const int last = sources.SourceNum > 2 ? 3 : 2;
  for (int k = 1; k <= last; ++k) {
    const QueryObj Q = sources.Source(k);
    const std::string W = WhereOf(Q);
    const Recordset rs =
        Q.OpenRs("select " + key_field + " ," + keys + (by_day ? ",jzrday" : "") +
                 ",sum(amt) as SfAmt from " + SourceViewName_ + W + " group by " + key_field +
                 (by_day ? ",jzrday," : ",") + keys);
    ForEachRow(rs, [&](int16_t) {
      const Variant temid = RptQueryObj().SnValue("TempID");
      // The key is itself a piece of a value list, one value per key column.
      std::string values = JoinValues(S, {temid, ComputerName()}) + S + QtyKeyValue(rs) + S +
                           ConcatText(rs.Fields(key_field));
      if (by_day) values += S + ConcatText(rs.Fields("Jzrday"));
      values += S + ConcatText(rs.Fields("Sfamt"));
      RptQueryObj().InsertRecord("tem_rpt_qty", fields, values);
    });
    rs.Close();
  }
  const Recordset rs = RptQueryObj().OpenRs(
      std::string("select ObjField ") + (by_day ? ",jzrday" : "") +
      ",sum(amt) as SfAmt from tem_rpt_qty  where computer='" + CN + "' group by objfield," +
      (by_day ? "jzrday," : "") + keys);
  ForEachRow(rs, [&](int16_t) { count(rs); });
  rs.Close();
}

void CategoryReport::CalcuQtyPerDatabase(const SourceArgs& sources,
                                         const std::string& key_field) {
  for (int k = 1; k <= sources.Count(); ++k) {
    const QueryObj Q = sources.Source(k);
    const std::string W = WhereOf(Q);
    const Recordset rs = Q.OpenRs("select " + key_field + " ,sum(amt) as sfAmt from " +
                                  SourceViewName_ + W + " group by " + key_field + ",zydjid");
    ForEachRow(rs, [&](int16_t) {
      ChangeQty(rs.Fields(key_field).ToText(), rs.Fields("sfamt").ToDouble());
    });
    rs.Close();
  }
}

void CategoryReport::ChangeQty(const std::string& Name, double Amt) {
  if (Amt == 0) return;
  const std::string cond =
      "name='" + Quote(Name) + "' and computer='" + Quote(ComputerName()) + "'";
  const Recordset rs = RptQueryObj().OpenRs("select qty from " + RptTab_ + "  where " + cond);
  const Variant qty = rs.Fields("qty");
  const Variant changed = Amt > 0 ? VarAdd(qty, Variant(int16_t{1})) : VarSub(qty, Variant(int16_t{1}));
  RptQueryObj().UpdateRecord(RptTab_, "qty", ConcatText(changed), cond);
  rs.Close();
}

double CategoryReport::WorkstationTotal() const {
  const Recordset rs = RptQueryObj().OpenRs("select sum(amt) as AllAmt from " + RptTab_ +
                                            "  where computer='" + Quote(ComputerName()) + "'");
  double total = 0;
  if (rs.RecordCount() > 0) {
    const Variant v = rs.Fields(int16_t{0});
    if (!v.IsNull()) total = v.ToDouble();
  }
  rs.Close();
  return total;
}

void CategoryReport::FinishRows(double total, const NameStep& name_step) {
  const std::string S = ValueSplitStr();
  const Recordset rs = RptQueryObj().OpenRs("select everyamt,ipercent,name,nameid,amt,qty from " +
                                            RptTab_ + "  where computer='" + Quote(ComputerName()) + "'");
  ForEachRow(rs, [&](int16_t) {
    const std::string name = ConcatText(rs.Fields("name"));
    std::string F = "nameid";
    ValueList V(S, {name});
    const Variant qty = rs.Fields("qty");
    // A Null count is not "not 0": no average for it either.
    if (!qty.IsNull() && qty.ToDouble() != 0) {
      F += ",everyamt";
      V.Add(FormatDec(VarDiv(rs.Fields("amt"), qty)));
    }
    if (total != 0) {
      F += ",iPercent";
      const Variant share = VarDiv(VarMul(rs.Fields("amt"), Variant(int16_t{100})), Variant(total));
      V.Add(Variant((share.IsNull() ? std::string() : FormatFixed2(share.ToDouble())) + "%"));
    }
    name_step(name, &F, &V);
    RptQueryObj().UpdateRecord(RptTab_, F, V.str(),
                               "computer='" + Quote(ComputerName()) + "' and name='" + Quote(name) + "'");
  });
  rs.Close();
}

void CategoryReport::FinishNames(const NameStep& name_step) {
  const std::string S = ValueSplitStr();
  const Recordset rs = RptQueryObj().OpenRs("select name,nameid from " + RptTab_ +
                                            "  where computer='" + Quote(ComputerName()) + "'");
  ForEachRow(rs, [&](int16_t) {
    const std::string name = ConcatText(rs.Fields("name"));
    std::string F = "nameid";
    ValueList V(S, {name});
    name_step(name, &F, &V);
    RptQueryObj().UpdateRecord(
        RptTab_, F, V.str(),
        "computer='" + Quote(ComputerName()) + "' and name='" + Quote(name) + "'");
  });
  rs.Close();
}

std::string CategoryReport::TypeTab() const {
  const std::string field = ToLowerAscii(TypeField_);
  if (field == "bbxm1id") return "qev_pub_type_bbxm1";
  if (field == "bbxm2id") return "qev_pub_type_bbxm2";
  if (field == "tjxm1id") return "qev_pub_type_tjxm1";
  if (field == "fpxmid") return "qev_pub_type_fpxm";
  return "";
}

std::string CategoryReport::FormatFixed2(double value) {
  if (!std::isfinite(value)) return FormatDouble(value);
  char buf[512];
  const auto written =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
  if (written.ec != std::errc()) return FormatDouble(value);
  std::string digits(buf, written.ptr);
  size_t dot = digits.find('.');
  if (dot == std::string::npos) {
    digits += ".";
    dot = digits.size() - 1;
  }
  digits.append(3, '0');  // at least three decimals to decide on
  const bool up = digits[dot + 3] >= '5';
  digits.resize(dot + 3);
  if (up) {
    size_t i = digits.size();
    while (i-- > 0) {
      if (digits[i] == '.') continue;
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0) digits.insert(digits.begin(), '1');
    }
  }
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (value < 0 && !zero ? "-" : "") + digits;
}

std::string CategoryReport::FormatDay(const std::string& text) {
  Date date;
  if (!ParseDate(text, &date)) return text;
  const DateParts p = SplitDate(date);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", p.year, p.month, p.day);
  return buf;
}

}  // namespace qev::frame
