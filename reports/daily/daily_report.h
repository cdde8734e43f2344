// What the day-by-day reports share: one report row per object with a
// column per day of the month (f1 to f31) and the row's total in amt, the
// merge of one amount or one key count into the column of its day, the
// last pass that writes the row's key and display name, the day list that
// counts the keys of each day (CalcuDayQty) and its way into the header
// row (UpdateHeader). The registrations by department and day keep their
// rows the same way and use the same passes.
//
// Rows are keyed by the object value in `name` while a calculation merges
// its sources; the last pass copies it to `nameid` and, for the known id
// columns, writes the display name into `name`.
#pragma once

#include <cstdint>
#include <string>

#include "frame/host_services.h"
#include "reports/category/category_report.h"

namespace qev::frame {

class DailyReport : public CategoryReport {
 public:
  using CategoryReport::CategoryReport;

 protected:
  // The members the day-by-day reports answer alike: GetDetailCondStr and
  // UpdateHeader. CalcuRpt and CalcuDayQty are the report's own.
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override;

  // The table names come from properties and go into every statement:
  // refused before the first statement when they are not names.
  void CheckNames() const;

  // D(d): "f" and the day of the month of `day` (f1 to f31). A Null day
  // fails with the conversion error.
  static std::string DayColumn(const Variant& day);

  // Adds Amt to the object's total and to its day column; the row is
  // inserted on first sight, a day column first touched here starts from 0.
  void ChangeDayValue(const std::string& Name, const Variant& Day, double Amt);
  // Counts one key of the object on its day: +1 when its amounts sum above
  // 0, -1 below 0, nothing at 0; in the total and in the day column.
  void ChangeDayQty(const std::string& Name, const Variant& Day, double Amt);
  // Both: `add` into the object's amt and its day column (a day column
  // that is Null starts from `zero`), the row inserted on first sight.
  void MergeIntoDay(const std::string& Name, const Variant& Day, const Variant& add,
                    const Variant& zero);

  // The last pass: nameid = the object value, and the display name from
  // `name_table` (its `name` where `id` is the object value) unless
  // `name_table` is empty. No row is removed.
  void FinishRows(const std::string& name_table);
  // The name table of ObjField (DepaID, DoctorID, the category columns,
  // GoodID in any case), "" for any other column.
  std::string NameTableOfObjField() const;

  // The day list of 31 zeros, "0,0,...,0".
  static std::string EmptyDayList();
  // The day list with the item of Day's day of the month raised by 1 when
  // Amt > 0, lowered by 1 when Amt < 0, unchanged at 0; the list is edited
  // through the utility library's list functions.
  static std::string ChangeDayList(const std::string& L, const Variant& Day, double Amt);
  // Walks a (day, key) result with the day in `day_field` and the key's sum
  // in "sfamt" into the day list L, unless the result is at BOF or EOF, and
  // closes it.
  static void CountDays(const Recordset& rs, const char* day_field, std::string* L);
  // The result of CalcuDayQty: the sum of the 31 items (16-bit), a comma
  // and the list.
  static std::string DayQtyText(const std::string& L);

  // The source column whose values are the rows' keys: ObjField.
  virtual std::string ObjColumn() const { return ObjField_; }
  // ObjColumn()='KeyValue', and " and  (" CondStr ")" when CondStr is set.
  std::string GetDetailCondStr(const std::string& KeyValue) const;
  void UpdateHeader(const std::string& DayQty);
};

// The outpatient and inpatient reports by object and day: CalcuRpt adds up
// amounts (AmtQty 1) or counts keys, then names the rows; CalcuDayQty counts
// the keys of each day. Each report has its own statements.
class DayFiguresReport : public DailyReport {
 public:
  using DailyReport::DailyReport;

 protected:
  // CalcuRpt and CalcuDayQty, then the members of every day-by-day report.
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override;

  // Amounts by object and day, one grouped statement per database.
  virtual void CalcuSourceDb(const SourceArgs& sources) = 0;
  // Key counts by object and day.
  virtual void CalcuQty(const SourceArgs& sources) = 0;
  virtual std::string CalcuDayQty(const SourceArgs& sources) = 0;

 private:
  void CalcuRpt(const SourceArgs& sources);
};

}  // namespace qev::frame
