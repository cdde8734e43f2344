// The separator of value lists: the values of one record for an insert or
// update, in field-list order, joined into one string. The utility library
// hands this separator to the reports and the host services split at it, so
// both take it from here. It is U+001F (the unit separator), which never
// occurs in the text the reports write.
#pragma once

#include <string_view>

namespace qev {

inline constexpr std::string_view kValueListSeparator = "\x1F";

}  // namespace qev
