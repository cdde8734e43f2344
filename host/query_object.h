// QueryObject: the late-bound query object through which reports read and
// write one database (the report query object DbA_Query0_Obj, its
// DbA_Query_Obj, and the callers' source databases QueryDb1..3).
//
// Members in slot order (every argument a string unless said otherwise):
//   DbA_Query_Obj (get)        a second query object on the same database
//   OpenRs(Sql)                a Recordset of the statement's rows
//   DeleteRecord(Table, Cond)  delete from Table [where Cond]
//   InsertRecord(Table, FieldList, ValueList)
//   UpdateRecord(Table, FieldList, ValueList, Cond)
//   Exec(Sql)                  runs one statement
//   CondAfterStr(Cond)         Cond with every date escape {d 'yyyy-mm-dd'}
//                              turned into the database's date literal;
//                              a condition that is not self-contained (a
//                              ';', an open quote, comment or parenthesis
//                              that would swallow or end the text after
//                              it) is refused
//   CondDateValue(DateText)    the database's literal of a date (variant)
//   OrderStrToNumField(Field)  an ordering expression sorting a text column
//                              numerically
//   SnValue(Name)              the next value of a sequence (variant)
//   TabFieldValue(Field, Table, Cond)  Field of the first matching row; Null
//                              when none matches or Table is empty
//   Engine (get)               the database engine behind the object:
//                              "sqlite" or "postgresql"; tools that set up
//                              a database pick the SQL dialect of their
//                              scripts by it
//
// Guarantees:
//  - Every call runs at most one statement; a statement text, condition or
//    name that carries a second statement is refused and nothing runs.
//  - Table and field names must be identifiers (optionally schema.name).
//  - Value lists are split at qev::kValueListSeparator and every value is
//    bound as a parameter. The value count must equal the field count, else
//    nothing is written. An empty value is stored as '' in a text column and
//    as NULL in any other column.
//  - UpdateRecord with an empty field list and an empty value list runs
//    nothing.
//  - String literals that stand as values in a condition (of DeleteRecord,
//    UpdateRecord, TabFieldValue, and after the WHERE of an OpenRs select)
//    are bound as parameters, with the same meaning, so that the statements
//    of a row loop that differ only in their keys are prepared once.
//  - Errors: database errors as kErrDatabase with the engine's message and
//    the statement; refused input as kErrBadStatement; both with the
//    database's source.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "host/database.h"
#include "platform/dispatch.h"

namespace qev::host {

class QueryObject final : public Dispatch {
 public:
  explicit QueryObject(std::shared_ptr<Database> db);

  static const TypeInfo& Type();
  const TypeInfo& type_info() const override { return Type(); }
  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override;

  const std::shared_ptr<Database>& database() const { return db_; }

  Object SecondQueryObject();
  Object OpenRs(std::string_view sql);
  void DeleteRecord(std::string_view table, std::string_view cond);
  void InsertRecord(std::string_view table, std::string_view fields, std::string_view values);
  void UpdateRecord(std::string_view table, std::string_view fields, std::string_view values,
                    std::string_view cond);
  void Exec(std::string_view sql);
  std::string CondAfterStr(std::string_view cond) const;
  std::string CondDateValue(const Variant& date) const;
  std::string OrderStrToNumField(std::string_view field) const;
  Variant SnValue(std::string_view name);
  Variant TabFieldValue(std::string_view field, std::string_view table, std::string_view cond);
  std::string_view Engine() const { return db_->engine(); }

 private:
  std::shared_ptr<Database> db_;
  std::mutex second_mu_;
  Object second_;  // DbA_Query_Obj, made on first use
};

}  // namespace qev::host
