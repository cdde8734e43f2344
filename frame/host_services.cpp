#include "frame/host_services.h"

#include "platform/dispatch.h"

namespace qev::frame {

int32_t Recordset::RecordCount() const { return Get(rs_, "RecordCount").ToInt32(); }

Variant Recordset::Fields(std::string_view name) const {
  return Call(rs_, "Fields", Variant(name));
}

Variant Recordset::Fields(int16_t ordinal) const { return Call(rs_, "Fields", Variant(ordinal)); }

Variant Recordset::operator()(std::string_view name) const {
  ArgList args;
  args.Value(Variant(name));
  return Invoke(rs_, "", static_cast<InvokeKind>(kInvokeMethod | kInvokeGet), args);
}

void Recordset::MoveNext() const { Call(rs_, "MoveNext"); }
bool Recordset::BOF() const { return Get(rs_, "BOF").ToBool(); }
bool Recordset::EOF_() const { return Get(rs_, "EOF").ToBool(); }
void Recordset::Close() const { Call(rs_, "Close"); }

Recordset QueryObj::OpenRs(const std::string& sql) const {
  return Recordset(Call(obj_, "OpenRs", Variant(sql)));
}

void QueryObj::DeleteRecord(const std::string& table, const std::string& cond) const {
  Call(obj_, "DeleteRecord", Variant(table), Variant(cond));
}

void QueryObj::InsertRecord(const std::string& table, const std::string& fields,
                            const std::string& values) const {
  Call(obj_, "InsertRecord", Variant(table), Variant(fields), Variant(values));
}

void QueryObj::UpdateRecord(const std::string& table, const std::string& fields,
                            const std::string& values, const std::string& cond) const {
  Call(obj_, "UpdateRecord", Variant(table), Variant(fields), Variant(values), Variant(cond));
}

void QueryObj::Exec(const std::string& sql) const { Call(obj_, "Exec", Variant(sql)); }

std::string QueryObj::CondAfterStr(const std::string& cond) const {
  Variant arg(cond);
  return Call(obj_, "CondAfterStr", ByRef{arg}).ToText();
}

std::string QueryObj::CondDateValue(const std::string& date) const {
  Variant arg(date);
  return Call(obj_, "CondDateValue", ByRef{arg}).ToText();
}

std::string QueryObj::OrderStrToNumField(const std::string& field) const {
  return Call(obj_, "OrderStrToNumField", Variant(field)).ToText();
}

Variant QueryObj::SnValue(const std::string& name) const {
  return Call(obj_, "SnValue", Variant(name));
}

Variant QueryObj::TabFieldValue(const std::string& field, const std::string& table,
                                const std::string& cond) const {
  return Call(obj_, "TabFieldValue", Variant(field), Variant(table), Variant(cond));
}

QueryObj QueryObj::DbA_Query_Obj() const { return QueryObj(Get(obj_, "DbA_Query_Obj")); }

QueryObj HostLib::DbA_Query0_Obj() const { return QueryObj(Get(obj_, "DbA_Query0_Obj")); }

std::string HostLib::ComputerName() const {
  return Get(Get(obj_, "Global_Para_Obj"), "ComputerName").ToText();
}

}  // namespace qev::frame
