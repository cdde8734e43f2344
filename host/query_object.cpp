#include "host/query_object.h"

#include <forward_list>
#include <vector>

#include "host/recordset.h"
#include "host/sql_text.h"
#include "platform/error.h"

namespace qev::host {

namespace {

enum Slot : DispId {
  kDbAQueryObj,
  kOpenRs,
  kDeleteRecord,
  kInsertRecord,
  kUpdateRecord,
  kExec,
  kCondAfterStr,
  kCondDateValue,
  kOrderStrToNumField,
  kSnValue,
  kTabFieldValue,
  kEngine,
};

bool IsBlankText(std::string_view s) {
  return s.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos;
}

// Appends " where " and the condition, its string literals turned into
// parameters (so that the statements of a row loop, which differ only in
// their keys, are prepared once).
void AppendWhere(const Database& db, std::string_view cond, std::string* sql,
                 std::vector<SqlParam>* params, std::forward_list<std::string>* unescaped) {
  if (IsBlankText(cond)) return;
  sql->append(" where ");
  AppendWithLiteralParams(cond, LiteralScope::kCondition, db, sql, params, unescaped);
}

}  // namespace

QueryObject::QueryObject(std::shared_ptr<Database> db) : db_(std::move(db)) {}

const TypeInfo& QueryObject::Type() {
  constexpr VarType S = VarType::kString;
  static const TypeInfo info(
      "_QueryObj", Guid::FromLiteral("{9634902C-7226-4C9A-B26B-5981BFDD97BB}"), "qev.QueryObj",
      {
          Property("DbA_Query_Obj", VarType::kObject, kInvokeGet),
          Function("OpenRs", {Param("Sql", S)}, VarType::kObject),
          Method("DeleteRecord", {Param("TableName", S), Param("Cond", S)}),
          Method("InsertRecord", {Param("TableName", S), Param("FieldList", S), Param("ValueList", S)}),
          Method("UpdateRecord", {Param("TableName", S), Param("FieldList", S),
                                  Param("ValueList", S), Param("Cond", S)}),
          Method("Exec", {Param("Sql", S)}),
          Function("CondAfterStr", {Param("Cond", S)}, S),
          Function("CondDateValue", {Param("DateText", VarType::kEmpty)}, S),
          Function("OrderStrToNumField", {Param("FieldName", S)}, S),
          Function("SnValue", {Param("SnName", S)}, VarType::kEmpty),
          Function("TabFieldValue", {Param("FieldName", S), Param("TableName", S), Param("Cond", S)},
                   VarType::kEmpty),
          Property("Engine", S, kInvokeGet),
      });
  return info;
}

Variant QueryObject::Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) {
  auto s = [&args](size_t i) -> const std::string& { return args[i].string(); };
  switch (member.id) {
    case kDbAQueryObj: return Variant(SecondQueryObject());
    case kOpenRs: return Variant(OpenRs(s(0)));
    case kDeleteRecord: DeleteRecord(s(0), s(1)); return {};
    case kInsertRecord: InsertRecord(s(0), s(1), s(2)); return {};
    case kUpdateRecord: UpdateRecord(s(0), s(1), s(2), s(3)); return {};
    case kExec: Exec(s(0)); return {};
    case kCondAfterStr: return Variant(CondAfterStr(s(0)));
    case kCondDateValue: return Variant(CondDateValue(args[0]));
    case kOrderStrToNumField: return Variant(OrderStrToNumField(s(0)));
    case kSnValue: return SnValue(s(0));
    case kTabFieldValue: return TabFieldValue(s(0), s(1), s(2));
    case kEngine: return Variant(Engine());
  }
  Raise(kErrNoMember, "", db_->source());
}

Object QueryObject::SecondQueryObject() {
  std::lock_guard<std::mutex> lock(second_mu_);
  if (!second_) second_ = std::make_shared<QueryObject>(db_);
  return second_;
}

Object QueryObject::OpenRs(std::string_view text) {
  std::string sql;
  sql.reserve(text.size());
  std::vector<SqlParam> params;
  std::forward_list<std::string> unescaped;
  AppendWithLiteralParams(text, LiteralScope::kStatement, *db_, &sql, &params, &unescaped);
  ResultTable rows;
  db_->Execute(sql, params, &rows, SIZE_MAX, text);
  return std::make_shared<Recordset>(std::move(rows), db_->source());
}

void QueryObject::DeleteRecord(std::string_view table, std::string_view cond) {
  RequireIdentifier(table, "table name", db_->source());
  std::string sql;
  sql.reserve(20 + table.size() + cond.size());
  sql.append("delete from ").append(table);
  std::vector<SqlParam> params;
  std::forward_list<std::string> unescaped;
  AppendWhere(*db_, cond, &sql, &params, &unescaped);
  db_->Execute(sql, params, nullptr);
}

void QueryObject::InsertRecord(std::string_view table, std::string_view fields,
                               std::string_view values) {
  const std::string& source = db_->source();
  RequireIdentifier(table, "table name", source);
  std::vector<std::string_view> names, items;
  SplitFieldList(fields, source, &names);
  if (names.empty())
    Raise(kErrBadStatement, "InsertRecord into " + std::string(table) + ": the field list is empty",
          source);
  SplitValueList(values, &items);
  if (items.size() != names.size())
    Raise(kErrBadStatement,
          "InsertRecord into " + std::string(table) + ": " + std::to_string(names.size()) +
              " field(s) but " + std::to_string(items.size()) +
              " value(s); nothing was written (a value must not contain the value-list separator)",
          source);
  std::string sql;
  sql.reserve(32 + table.size() + fields.size() + 3 * names.size());
  sql.append("insert into ").append(table).append(" (");
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) sql.push_back(',');
    sql.append(names[i]);
  }
  sql.append(") values (");
  std::vector<SqlParam> params;
  params.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) sql.push_back(',');
    db_->AppendParamMarker(&sql, static_cast<int>(i + 1));
    params.push_back(items[i].empty() && !db_->IsTextColumn(table, names[i])
                         ? SqlParam::Null()
                         : SqlParam::Text(items[i]));
  }
  sql.push_back(')');
  db_->Execute(sql, params, nullptr);
}

void QueryObject::UpdateRecord(std::string_view table, std::string_view fields,
                               std::string_view values, std::string_view cond) {
  const std::string& source = db_->source();
  RequireIdentifier(table, "table name", source);
  std::vector<std::string_view> names, items;
  SplitFieldList(fields, source, &names);
  if (names.empty() && values.empty()) return;  // nothing to set
  SplitValueList(values, &items);
  if (items.size() != names.size())
    Raise(kErrBadStatement,
          "UpdateRecord of " + std::string(table) + ": " + std::to_string(names.size()) +
              " field(s) but " + std::to_string(items.size()) +
              " value(s); nothing was written (a value must not contain the value-list separator)",
          source);
  std::string sql;
  sql.reserve(32 + table.size() + fields.size() + 3 * names.size() + cond.size());
  sql.append("update ").append(table).append(" set ");
  std::vector<SqlParam> params;
  params.reserve(items.size() + 4);
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) sql.push_back(',');
    sql.append(names[i]).push_back('=');
    db_->AppendParamMarker(&sql, static_cast<int>(i + 1));
    params.push_back(items[i].empty() && !db_->IsTextColumn(table, names[i])
                         ? SqlParam::Null()
                         : SqlParam::Text(items[i]));
  }
  std::forward_list<std::string> unescaped;
  AppendWhere(*db_, cond, &sql, &params, &unescaped);
  db_->Execute(sql, params, nullptr);
}

void QueryObject::Exec(std::string_view sql) { db_->Execute(sql, {}, nullptr); }

std::string QueryObject::CondAfterStr(std::string_view cond) const {
  const Database& db = *db_;
  RequireSelfContainedCondition(cond, db.source());
  return ReplaceDateEscapes(cond, [&db](Date d) { return db.DateLiteral(d); }, db.source());
}

std::string QueryObject::CondDateValue(const Variant& date) const {
  if (date.type() == VarType::kDate) return db_->DateLiteral(date.ToDate());
  const std::string text = ConcatText(date);
  Date parsed;
  if (!ParseDate(text, &parsed))
    Raise(kErrInvalidArgument,
          "CondDateValue: '" + text + "' is not a date (yyyy-mm-dd, yyyy/m/d or yyyy.mm.dd)",
          db_->source());
  return db_->DateLiteral(parsed);
}

std::string QueryObject::OrderStrToNumField(std::string_view field) const {
  RequireIdentifier(field, "field name", db_->source());
  return db_->NumericOrder(field);
}

Variant QueryObject::SnValue(std::string_view name) {
  return Variant::FromInt64(db_->NextSequenceValue(name));
}

Variant QueryObject::TabFieldValue(std::string_view field, std::string_view table,
                                   std::string_view cond) {
  if (IsBlankText(table)) return Variant::Null();
  RequireIdentifier(field, "field name", db_->source());
  RequireIdentifier(table, "table name", db_->source());
  std::string sql;
  sql.reserve(24 + field.size() + table.size() + cond.size());
  sql.append("select ").append(field).append(" from ").append(table);
  std::vector<SqlParam> params;
  std::forward_list<std::string> unescaped;
  AppendWhere(*db_, cond, &sql, &params, &unescaped);
  ResultTable rows;
  db_->Execute(sql, params, &rows, 1);
  if (rows.row_count == 0) return Variant::Null();
  return std::move(rows.cells[0]);
}

}  // namespace qev::host
