// What the goods reports share: a calculation made of the common preamble,
// a merge of every source database's grouped rows into one report row per
// good, and a final pass that fills in the good's name, specification and
// unit. Each report states its own source statement, how it reads a source
// row and how it merges it; the passes that several reports use in the
// same form live here.
#pragma once

#include <string>

#include "frame/host_services.h"
#include "frame/report_component.h"

namespace qev::frame {

class GoodsReport : public ReportComponent {
 public:
  using ReportComponent::ReportComponent;

 protected:
  bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                 Variant* result) override;

  // CalcuRpt: the preamble, CalcuSourceDb, FillGoodInfo.
  void CalcuRpt(const SourceArgs& sources);
  // For each source that SourceNum reaches: open the report's statement on
  // that source and merge each row (16-bit row loop), then close.
  void CalcuSourceDb(const SourceArgs& sources);

  // The grouping statement of one source database.
  virtual std::string SourceStatement(const QueryObj& Q) = 0;
  // Reads the current source row and merges it into the report.
  virtual void MergeSourceRow(const Recordset& rs) = 0;
  // The final pass over the workstation's report rows.
  virtual void FillGoodInfo() = 0;
  // The condition text behind one report row.
  virtual std::string GetDetailCondStr(const std::string& KeyValue);

  // "" when CondStr is empty, else " where " & Q.CondAfterStr(CondStr);
  // CondAfterStr is called in both cases.
  std::string WhereOf(const QueryObj& Q) const;

  // The merge of a good's quantity and amount shared by the totals,
  // inpatient totals and receipts reports: insert the good's row, or add to
  // its stored qty and amt.
  void ChangeGoodValue(const std::string& GoodID, double Qty, double Amt);

  // Final pass writing nameid, the average price (where qty is not 0),
  // name, spec and unit.
  void FillGoodInfoWithPrice();
  // Final pass writing nameid, name, spec and unit.
  void FillGoodInfoWithoutPrice();

  // The value of a selected row's column where Null counts as 0.
  static double OldValue(const Recordset& rs, const char* column);
};

}  // namespace qev::frame
