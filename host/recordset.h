// Recordset: the late-bound result of a query object's OpenRs.
//
// The rows are materialised when the record set is opened, so RecordCount
// is exact and no database lock is held while a report walks the rows.
//
// Members in slot order:
//   RecordCount (get)        the number of rows
//   Fields(Index)            the value of a column of the current row; Index
//                            is a column name (matched without regard to
//                            case) or a 16-bit ordinal from 0. Default member.
//   MoveNext(), MoveFirst()  move the current row
//   BOF, EOF (get)           before the first / after the last row (both
//                            true for an empty record set)
//   Close()                  releases the rows
//   FieldCount (get), FieldName(Index)  the columns, for tools that print any
//                            result
// Values: INTEGER as a 32-bit integer when it fits, else a double; REAL as a
// double; TEXT as a string; NULL as Null.
// Errors: an unknown name or ordinal raises kErrSubscript; reading a field
// with no current row raises kErrNoCurrentRecord; any use after Close
// raises kErrRecordsetClosed.
#pragma once

#include "host/database.h"
#include "platform/dispatch.h"

namespace qev::host {

inline constexpr int32_t kErrNoCurrentRecord = 3021;
inline constexpr int32_t kErrRecordsetClosed = 3704;

class Recordset final : public Dispatch {
 public:
  Recordset(ResultTable rows, std::string source);

  static const TypeInfo& Type();
  const TypeInfo& type_info() const override { return Type(); }
  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override;

  int32_t RecordCount() const;
  const Variant& Field(const Variant& index) const;
  void MoveNext();
  void MoveFirst();
  bool Bof() const;
  bool Eof() const;
  void Close();
  int32_t FieldCount() const;
  std::string FieldName(const Variant& index) const;

 private:
  void RequireOpen() const;
  size_t ColumnIndex(const Variant& index) const;

  ResultTable rows_;
  std::string source_;
  size_t position_ = 0;
  bool closed_ = false;
};

}  // namespace qev::host
