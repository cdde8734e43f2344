// Typed wrappers through which the reports call the host's services.
//
// Every call is late-bound by member name on whatever object the host
// handed over (our SQLite or PostgreSQL host, a tracing proxy, a test
// double); the wrappers only give the calls C++ types. A wrapper around
// Nothing fails on its first call with error 91, which is how a source the
// caller omitted but SourceNum reaches shows up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/variant.h"

namespace qev::frame {

// A recordset returned by OpenRs. Closing is left to the caller (the
// reports close every recordset after its loop, as the host expects).
class Recordset {
 public:
  explicit Recordset(Variant rs) : rs_(std::move(rs)) {}

  int32_t RecordCount() const;
  // A field of the current row by name (any case) or by ordinal.
  Variant Fields(std::string_view name) const;
  Variant Fields(int16_t ordinal) const;
  // The default member, the same as Fields(name).
  Variant operator()(std::string_view name) const;
  void MoveNext() const;
  bool BOF() const;
  bool EOF_() const;
  void Close() const;

  const Variant& object() const { return rs_; }

 private:
  Variant rs_;
};

// A query object: the report query object or a caller's source database.
class QueryObj {
 public:
  QueryObj() = default;
  explicit QueryObj(Variant obj) : obj_(std::move(obj)) {}

  Recordset OpenRs(const std::string& sql) const;
  void DeleteRecord(const std::string& table, const std::string& cond) const;
  void InsertRecord(const std::string& table, const std::string& fields,
                    const std::string& values) const;
  void UpdateRecord(const std::string& table, const std::string& fields,
                    const std::string& values, const std::string& cond) const;
  void Exec(const std::string& sql) const;
  // The condition is passed by reference, as the host expects.
  std::string CondAfterStr(const std::string& cond) const;
  std::string CondDateValue(const std::string& date) const;
  std::string OrderStrToNumField(const std::string& field) const;
  Variant SnValue(const std::string& name) const;
  Variant TabFieldValue(const std::string& field, const std::string& table,
                        const std::string& cond) const;
  QueryObj DbA_Query_Obj() const;

  const Variant& object() const { return obj_; }

 private:
  Variant obj_;
};

// The host library object (Global_Lib_Obj).
class HostLib {
 public:
  explicit HostLib(Variant obj) : obj_(std::move(obj)) {}

  QueryObj DbA_Query0_Obj() const;
  // Global_Para_Obj.ComputerName, read afresh.
  std::string ComputerName() const;

  const Variant& object() const { return obj_; }

 private:
  Variant obj_;
};

}  // namespace qev::frame
