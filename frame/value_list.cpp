#include "frame/value_list.h"

namespace qev::frame {

ValueList::ValueList(std::string separator, std::initializer_list<Variant> values)
    : sep_(std::move(separator)) {
  for (const Variant& v : values) Add(v);
}

ValueList& ValueList::Add(const Variant& value) {
  if (count_++ > 0) text_ += sep_;
  text_ += ConcatText(value);
  return *this;
}

std::string JoinValues(const std::string& separator, std::initializer_list<Variant> values) {
  return ValueList(separator, values).str();
}

}  // namespace qev::frame
