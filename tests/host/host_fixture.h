// Shared pieces of the host tests: a report database in a fresh temporary
// directory, reached through the host library object, and helpers to read
// results and raised errors.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "tests/support/temp_dir.h"

namespace qev::host::testing {

// The error a statement raised; number 0 when it raised none.
template <typename F>
Error RaisedBy(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const RuntimeError& e) {
    return e.error();
  }
  return Error{0, "", "no error raised"};
}

// Joins values into a value list.
template <typename... Parts>
std::string Values(const Parts&... parts) {
  std::string out;
  bool first = true;
  ((out += (first ? "" : std::string(kValueListSeparator)), out += parts, first = false), ...);
  return out;
}

class HostTest : public ::testing::Test {
 protected:
  HostTest()
      : db_path_(dir_.File("report.db")),
        host_(CreateHostLib(db_path_, "WS1")),
        q_(Get(host_, "DbA_Query0_Obj")) {}

  // Runs a statement through the report query object.
  void Exec(const std::string& sql) { Call(q_, "Exec", sql); }

  // Opens a record set on the report query object.
  Variant Open(const std::string& sql) { return Call(q_, "OpenRs", sql); }

  // The first field of the first row of `sql` (Null when there is no row).
  Variant Scalar(const std::string& sql) {
    Variant rs = Open(sql);
    Variant v = Get(rs, "RecordCount").ToInt32() > 0 ? Call(rs, "Fields", int16_t{0}) : Variant::Null();
    Call(rs, "Close");
    return v;
  }

  int32_t Count(const std::string& table, const std::string& cond = "") {
    return Scalar("select count(*) from " + table + (cond.empty() ? "" : " where " + cond)).ToInt32();
  }

  bool TableExists(const std::string& name) {
    return Count("sqlite_master", "type='table' and name='" + name + "'") == 1;
  }

  ::qev::testing::TempDir dir_;
  std::string db_path_;
  Variant host_;
  Variant q_;
};

}  // namespace qev::host::testing
