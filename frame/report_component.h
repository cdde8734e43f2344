// The base of every report component.
//
// It keeps the common property block (strings and 16-bit integers stored
// unchanged, Global_Lib_Obj held by counted reference), evaluates
// ComputerName and RptQueryObj afresh at every use, answers the catalogue's
// common properties through late binding, and offers the common preamble
// of CalcuRpt. A concrete report implements its own members (CalcuRpt,
// GetDetailCondStr, computed properties) in InvokeOwn.
#pragma once

#include <cstdint>
#include <string>

#include "frame/catalogue.h"
#include "frame/host_services.h"
#include "platform/dispatch.h"

namespace qev::frame {

class ReportComponent : public Dispatch {
 public:
  explicit ReportComponent(const ClassSpec& spec) : spec_(spec) {}
  ~ReportComponent() override;

  const TypeInfo& type_info() const override { return spec_.type_info; }
  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) final;

  const ClassSpec& spec() const { return spec_; }

 protected:
  // The class's own members. Sets *result and returns true when the member
  // is the class's own; returns false to leave it to the common block.
  virtual bool InvokeOwn(const MemberInfo& member, InvokeKind kind, ArgList& args,
                         Variant* result) = 0;

  // Global_Lib_Obj.Global_Para_Obj.ComputerName, read afresh (error 91
  // while Global_Lib_Obj is not set).
  std::string ComputerName() const;
  // Global_Lib_Obj.DbA_Query0_Obj, read afresh.
  QueryObj RptQueryObj() const;
  HostLib GlobalLib() const;
  // The condition on the workstation's own rows: computer='<ComputerName>'.
  std::string OwnRows() const;

  // Steps of the common preamble of CalcuRpt: 1 deletes the workstation's
  // rows of RptTab, 2 its rpt_header row for RptTab, 3 inserts the new
  // header row with the header string of RptDesc.
  void DeleteOwnRows() const;      // step 1
  void RenewHeader() const;        // steps 2 and 3
  void CommonPreamble() const {    // steps 1 to 3
    DeleteOwnRows();
    RenewHeader();
  }

  // Raises error 32003 when a table or view name property of the class
  // (SourceViewName, RptTab, RptDetailTab) holds something other than a
  // table name. An empty one is left to the statement that uses it.
  void CheckTableNames() const;

  // Error 32001 naming the class and the member that is not built yet.
  [[noreturn]] void NotImplemented(std::string_view member) const;

  // The common property block.
  std::string SourceViewName_;
  std::string RptTab_;
  std::string RptDesc_;
  std::string CondStr_;
  std::string ObjField_;
  std::string TypeField_;
  std::string RptDetailTab_;
  std::string JzyMonth_;
  std::string JzrDay_;
  std::string Submiter_;
  int16_t QtyIndex_ = 0;
  int16_t AmtQty_ = 0;
  int16_t SupFac_ = 0;
  int16_t Kfhb_ = 0;
  Object Global_Lib_Obj_;

 private:
  friend struct CommonFields;
  const ClassSpec& spec_;
};

// The query objects handed to CalcuRpt: source k is read when SourceNum
// reaches it (source 1 always).
struct SourceArgs {
  int16_t SourceNum = 0;
  Variant QueryDb1, QueryDb2, QueryDb3;

  // Reads the four arguments of CalcuRpt(SourceNum, QueryDb1, QueryDb2,
  // QueryDb3) or of the methods with the same head.
  static SourceArgs From(ArgList& args);
  // The sources that SourceNum reaches, in order 1, 2, 3: QueryDb1 always,
  // QueryDb2 when SourceNum > 1, QueryDb3 when SourceNum > 2.
  int Count() const { return SourceNum > 2 ? 3 : SourceNum > 1 ? 2 : 1; }
  QueryObj Source(int k) const;
};

}  // namespace qev::frame
