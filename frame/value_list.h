// Value lists: the values of one record for InsertRecord or UpdateRecord,
// in field-list order, joined by the ValueSplitStr separator. Each value is
// written as the text it shows when concatenated: numbers in their default
// text form, Null and Empty as "".
#pragma once

#include <initializer_list>
#include <string>

#include "platform/variant.h"

namespace qev::frame {

class ValueList {
 public:
  explicit ValueList(std::string separator) : sep_(std::move(separator)) {}
  ValueList(std::string separator, std::initializer_list<Variant> values);

  // Appends one value, preceded by the separator unless it is the first.
  ValueList& Add(const Variant& value);
  const std::string& str() const { return text_; }
  bool empty() const { return count_ == 0; }

 private:
  std::string sep_;
  std::string text_;
  int count_ = 0;
};

// The values joined by the separator.
std::string JoinValues(const std::string& separator, std::initializer_list<Variant> values);

}  // namespace qev::frame
