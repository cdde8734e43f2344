// What the category reports share: the where part of a source statement,
// the key that is counted (chosen by QtyIndex), the key count of a report
// row, the merge of key groups over several source databases through the
// scratch table tem_rpt_qty, and the last pass that writes the row's key,
// average and share.
//
// Each report states its own source statements, its merge of amounts and
// how a row gets its display name; the passes that several reports use in
// the same form live here.
//
// tem_rpt_qty holds, per workstation, one row per group of (row key,
// counted key) and source database. Every statement on it is limited to the
// calculating workstation's rows. A count over more than one database
// replaces the workstation's rows and leaves them in place afterwards, for
// readers that run after the calculation (GetAllQty); the next such count on
// the same workstation, in any report that shares the table, replaces them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "frame/host_services.h"
#include "frame/report_component.h"
#include "frame/value_list.h"

namespace qev::frame {

class CategoryReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  // W(Q): "" when CondStr is empty, else " where " + Q.CondAfterStr(CondStr).
  // CondAfterStr is called in both cases; with an empty CondStr its result
  // is not used.
  std::string WhereOf(const QueryObj& Q) const;

  // The key columns that QtyIndex counts: 1 "RegID,Name", 2
  // "RegID,Name,JzrDay", 3 "ID", anything else "" (the statements that use
  // it then fail in the database). A report whose rows are split by day
  // already groups by the day and knows no key 2.
  virtual std::string QtyFieldStr() const;
  // The key of the current source row: the values of the QtyFieldStr
  // columns joined by the value-list separator ("" for an unknown index), so
  // that it fills those columns of a tem_rpt_qty value list.
  std::string QtyKeyValue(const Recordset& rs) const;

  // The key counts over several source databases: clears the workstation's
  // rows of tem_rpt_qty, writes there the (key_field, key) groups of
  // database 1, database 2 and, when SourceNum > 2, database 3, then reads
  // them back summed over the databases and counts each key once with
  // ChangeQty. key_field is the source column whose values are the report
  // rows' keys (ObjField, or TypeField in a report per category).
  void CalcuQtyOverDatabases(const SourceArgs& sources, const std::string& key_field);

  // The merge itself, also for groups split by day. With `by_day` each
  // group is also a day (source column jzrday, kept in tem_rpt_qty's
  // jzrday); `count` is called for each (key_field[, jzrday], key) group
  // read back summed over the databases, with the fields ObjField[,
  // jzrday] and SfAmt.
  void MergeQtyOverDatabases(const SourceArgs& sources, const std::string& key_field,
                             bool by_day, const std::function<void(const Recordset&)>& count);
  // The inpatient key counts: for database 1, database 2 when SourceNum > 1
  // and database 3 when SourceNum > 2, each by itself, the sums of the
  // (key_field, zydjid) groups counted with ChangeQty. An inpatient
  // registration found in two databases counts in each; tem_rpt_qty is not
  // used.
  void CalcuQtyPerDatabase(const SourceArgs& sources, const std::string& key_field);

  // Counts one key of the row `Name`: qty + 1 when the key's amounts sum
  // above 0, qty - 1 below 0, nothing at 0. The row must exist.
  void ChangeQty(const std::string& Name, double Amt);

  // The category table that belongs to TypeField (compared in lower case):
  // bbxm1id, bbxm2id, tjxm1id, fpxmid name qev_pub_type_bbxm1,
  // qev_pub_type_bbxm2, qev_pub_type_tjxm1, qev_pub_type_fpxm; any other
  // column "". Derived on every read.
  std::string TypeTab() const;

  // The sum of amt over the workstation's rows of RptTab; 0 when it is Null.
  double WorkstationTotal() const;

  // Appends the display name of the row whose key is `name` to the field
  // list F and the value list V (or leaves them when the key stays).
  using NameStep = std::function<void(const std::string& name, std::string* F, ValueList* V)>;

  // The last pass over the workstation's rows of RptTab: for each row,
  // nameid (the key), everyamt = FormatDec(amt / qty) where qty is not 0,
  // iPercent = amt * 100 / total as "0.00" and "%" where the total is not 0,
  // then the display name by `name_step`, written with one UpdateRecord on
  // the row's key.
  void FinishRows(double total, const NameStep& name_step);

  // The last pass of the inpatient reports, which compute no average or
  // share: for each of the workstation's rows of RptTab, nameid (the key)
  // and the display name by `name_step`, written with one UpdateRecord on
  // the row's key.
  void FinishNames(const NameStep& name_step);

  // `value` with two decimals ("0.00"): rounded half away from zero on the
  // shortest decimal text that reads back as the same double; "." as the
  // decimal separator; a value that rounds to zero shows no sign.
  static std::string FormatFixed2(double value);
  // The text of a day "yyyy.mm.dd" when `text` is a date (a time of day
  // after it is dropped); any other text unchanged.
  static std::string FormatDay(const std::string& text);
};

}  // namespace qev::frame
