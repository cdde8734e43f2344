#include "host/recordset.h"

#include <limits>

#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

namespace {

enum Slot : DispId {
  kRecordCount,
  kFields,
  kMoveNext,
  kMoveFirst,
  kBof,
  kEof,
  kClose,
  kFieldCount,
  kFieldName,
};

}  // namespace

Recordset::Recordset(ResultTable rows, std::string source)
    : rows_(std::move(rows)), source_(std::move(source)) {}

const TypeInfo& Recordset::Type() {
  static const TypeInfo info(
      "_Recordset", Guid::FromLiteral("{3538EA72-D328-421E-95BE-7DFA06A7EC9F}"), "qev.Recordset",
      {
          Property("RecordCount", VarType::kInt32, kInvokeGet),
          Function("Fields", {Param("Index", VarType::kEmpty)}, VarType::kEmpty),
          Method("MoveNext", {}),
          Method("MoveFirst", {}),
          Property("BOF", VarType::kBool, kInvokeGet),
          Property("EOF", VarType::kBool, kInvokeGet),
          Method("Close", {}),
          Property("FieldCount", VarType::kInt32, kInvokeGet),
          Function("FieldName", {Param("Index", VarType::kEmpty)}, VarType::kString),
      },
      "Fields");
  return info;
}

Variant Recordset::Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) {
  switch (member.id) {
    case kRecordCount: return Variant(RecordCount());
    case kFields: return Field(args[0]);
    case kMoveNext: MoveNext(); return {};
    case kMoveFirst: MoveFirst(); return {};
    case kBof: return Variant(Bof());
    case kEof: return Variant(Eof());
    case kClose: Close(); return {};
    case kFieldCount: return Variant(FieldCount());
    case kFieldName: return Variant(FieldName(args[0]));
  }
  Raise(kErrNoMember, "", source_);
}

void Recordset::RequireOpen() const {
  if (closed_) Raise(kErrRecordsetClosed, "Operation is not allowed when the record set is closed", source_);
}

int32_t Recordset::RecordCount() const {
  RequireOpen();
  if (rows_.row_count > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    Raise(kErrOverflow, "", source_);
  return static_cast<int32_t>(rows_.row_count);
}

size_t Recordset::ColumnIndex(const Variant& index) const {
  if (index.IsString()) {
    const std::string& name = index.string();
    for (size_t c = 0; c < rows_.names.size(); ++c)
      if (EqualsNoCase(rows_.names[c], name)) return c;
    Raise(kErrSubscript, "Item cannot be found: the record set has no field '" + name + "'", source_);
  }
  if (index.IsNull() || index.IsEmpty() || index.IsObject())
    Raise(kErrSubscript, "Item cannot be found: a field is named by a text or an ordinal", source_);
  const int16_t ordinal = index.ToInt16();
  if (ordinal < 0 || static_cast<size_t>(ordinal) >= rows_.names.size())
    Raise(kErrSubscript,
          "Item cannot be found: field ordinal " + std::to_string(ordinal) + " of " +
              std::to_string(rows_.names.size()) + " fields",
          source_);
  return static_cast<size_t>(ordinal);
}

const Variant& Recordset::Field(const Variant& index) const {
  RequireOpen();
  const size_t column = ColumnIndex(index);
  if (position_ >= rows_.row_count)
    Raise(kErrNoCurrentRecord, "Either BOF or EOF is True: there is no current record", source_);
  return rows_.at(position_, column);
}

void Recordset::MoveNext() {
  RequireOpen();
  if (position_ >= rows_.row_count)
    Raise(kErrNoCurrentRecord, "Either BOF or EOF is True: there is no current record", source_);
  ++position_;
}

void Recordset::MoveFirst() {
  RequireOpen();
  position_ = 0;
}

bool Recordset::Bof() const {
  RequireOpen();
  return rows_.row_count == 0;
}

bool Recordset::Eof() const {
  RequireOpen();
  return position_ >= rows_.row_count;
}

void Recordset::Close() {
  RequireOpen();
  closed_ = true;
  rows_ = ResultTable{};
  position_ = 0;
}

int32_t Recordset::FieldCount() const {
  RequireOpen();
  return static_cast<int32_t>(rows_.names.size());
}

std::string Recordset::FieldName(const Variant& index) const {
  RequireOpen();
  return rows_.names[ColumnIndex(index)];
}

}  // namespace qev::host
