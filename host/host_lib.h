// The host library object (Global_Lib_Obj) and its parameter object
// (Global_Para_Obj).
//
// Host library object, members in slot order:
//   DbA_Query0_Obj (get)   the report query object (always the same one)
//   Global_Para_Obj (get)  the workstation's parameter object
//   LastCalculation(RptTab, Computer)
//                          how the last calculation of that table for that
//                          workstation ended: "none", "ok", "failed",
//                          "interrupted" or "running" (host/calculation.h)
// Parameter object:
//   ComputerName (get/let) the workstation name; read afresh at every use by
//                          the components, so a change is seen at once.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qev::host {

class Database;
class HostLib;

class ParaObject final : public Dispatch {
 public:
  explicit ParaObject(std::string computer_name);

  static const TypeInfo& Type();
  const TypeInfo& type_info() const override { return Type(); }
  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override;

  std::string computer_name() const;
  void set_computer_name(std::string name);

 private:
  mutable std::mutex mu_;
  std::string computer_name_;
};

class HostLib final : public Dispatch {
 public:
  HostLib(Object report_query, Object para);

  static const TypeInfo& Type();
  const TypeInfo& type_info() const override { return Type(); }
  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override;

  const Object& report_query() const { return report_query_; }
  // The workstation name its parameter object holds now.
  std::string computer_name() const;

 private:
  Object report_query_;
  Object para_;
};

// The host library object behind `object` (a tracing proxy of one
// looked through), or nullptr.
HostLib* AsHostLib(const Object& object);

// The database behind a query object of this library (a proxy of one
// looked through). Raises kErrBadStatement, saying that `who` needs such
// an object, for any other.
std::shared_ptr<Database> QueryDatabaseOf(const Object& query_obj, std::string_view who);

// The same for a host library object (the database of its report query
// object) or a query object.
std::shared_ptr<Database> DatabaseOf(const Object& host_or_query, std::string_view who);

}  // namespace qev::host
