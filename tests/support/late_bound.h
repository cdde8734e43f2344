// Small helpers for tests that drive components and host objects through
// late binding.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/variant.h"

namespace qev::testing {

// Every row of a query run through a query object's OpenRs, each row the
// values of its fields in order.
std::vector<std::vector<Variant>> QueryRows(const Variant& query_obj, const std::string& sql);

// Rows as text: fields joined by "|", Null shown as "<null>".
std::vector<std::string> QueryText(const Variant& query_obj, const std::string& sql);

// Rows keyed by the text of their first field; the value maps each column
// name (lower case) to its value.
std::map<std::string, std::map<std::string, Variant>> QueryByKey(const Variant& query_obj,
                                                                 const std::string& sql);

// The number of the runtime error `f` raises, 0 when it raises none.
int ErrorNumberOf(const std::function<void()>& f);
// The whole error `f` raises ("" description and number 0 when none).
struct CaughtError {
  int number = 0;
  std::string source, description;
};
CaughtError ErrorOf(const std::function<void()>& f);

// The lines of a text, without their line ends ("\n" or "\r\n").
std::vector<std::string> Lines(const std::string& text);

}  // namespace qev::testing
