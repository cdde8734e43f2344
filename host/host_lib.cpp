#include "host/host_lib.h"

#include "host/calculation.h"
#include "host/query_object.h"
#include "host/trace.h"
#include "platform/error.h"

namespace qev::host {

ParaObject::ParaObject(std::string computer_name) : computer_name_(std::move(computer_name)) {}

const TypeInfo& ParaObject::Type() {
  static const TypeInfo info("_ParaObj", Guid::FromLiteral("{EFCE651D-FE98-490B-8526-737B94E81CA9}"),
                             "qev.HostPara",
                             {Property("ComputerName", VarType::kString, kInvokeGet | kInvokeLet)});
  return info;
}

Variant ParaObject::Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) {
  if (member.id != 0) Raise(kErrNoMember);
  if (kind == kInvokeLet) {
    set_computer_name(args[args.size() - 1].string());
    return {};
  }
  return Variant(computer_name());
}

std::string ParaObject::computer_name() const {
  std::lock_guard<std::mutex> lock(mu_);
  return computer_name_;
}

void ParaObject::set_computer_name(std::string name) {
  std::lock_guard<std::mutex> lock(mu_);
  computer_name_ = std::move(name);
}

HostLib::HostLib(Object report_query, Object para)
    : report_query_(std::move(report_query)), para_(std::move(para)) {}

std::string HostLib::computer_name() const {
  if (auto* para = dynamic_cast<ParaObject*>(para_.get())) return para->computer_name();
  return Get(Variant(para_), "ComputerName").ToText();
}

const TypeInfo& HostLib::Type() {
  static const TypeInfo info("_HostLib", Guid::FromLiteral("{9791229A-AA86-436C-A4F9-EDD549CB816A}"),
                             "qev.HostLib",
                             {
                                 Property("DbA_Query0_Obj", VarType::kObject, kInvokeGet),
                                 Property("Global_Para_Obj", VarType::kObject, kInvokeGet),
                                 Function("LastCalculation",
                                          {Param("RptTab", VarType::kString),
                                           Param("Computer", VarType::kString)},
                                          VarType::kString),
                             });
  return info;
}

Variant HostLib::Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) {
  switch (member.id) {
    case 0: return Variant(report_query_);
    case 1: return Variant(para_);
    case 2: {
      // "none", "ok", "failed", "interrupted" or "running": whether the
      // rows of that table and workstation are a finished report.
      return Variant(std::string(CalculationStateName(
          LastCalculation(DatabaseOf(report_query_, "LastCalculation"), args[0].ToText(),
                          args[1].ToText())
              .kind)));
    }
  }
  Raise(kErrNoMember);
}

HostLib* AsHostLib(const Object& object) {
  return dynamic_cast<HostLib*>(UntracedObject(object).get());
}

std::shared_ptr<Database> QueryDatabaseOf(const Object& query_obj, std::string_view who) {
  auto* query = dynamic_cast<QueryObject*>(UntracedObject(query_obj).get());
  if (query == nullptr)
    Raise(kErrBadStatement, std::string(who) + " needs a query object of the host library",
          "qev.HostLib");
  return query->database();
}

std::shared_ptr<Database> DatabaseOf(const Object& host_or_query, std::string_view who) {
  if (HostLib* lib = AsHostLib(host_or_query)) return QueryDatabaseOf(lib->report_query(), who);
  return QueryDatabaseOf(host_or_query, who);
}

}  // namespace qev::host
