// The values of rptcalc run's --set, --desc and --call options, read and
// checked against the class's interface before anything is opened.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/catalogue.h"
#include "platform/dispatch.h"
#include "platform/variant.h"

namespace rptcalc {

bool IsMethod(const qev::MemberInfo& m);

// "NAME=VALUE" split at the first '='; a text without '=' is a UsageError
// naming `option` and the expected `form`.
std::pair<std::string, std::string> SplitAssignment(std::string_view option,
                                                    std::string_view text,
                                                    std::string_view form);

// One --set: a writable property of the class and its value, a whole
// number from -32768 to 32767 for an Integer property, else the text.
struct PropertyValue {
  std::string name;
  qev::Variant value;
};
PropertyValue CheckedProperty(const qev::frame::ClassSpec& spec, std::string_view text);

// One --call argument: a text, @source1..@source3 or @result.
struct CallArg {
  enum Kind { kText, kSource, kResult } kind = kText;
  std::string text;
  int source = 0;  // 1..3
};

struct CallPlan {
  const qev::MemberInfo* member = nullptr;
  std::vector<CallArg> args;
};

// One --call "MEMBER[=ARG,...]", the `index`-th of the command line (an
// @result needs an earlier one), with `source_count` source databases given.
CallPlan CheckedCall(const qev::frame::ClassSpec& spec, std::string_view text, size_t index,
                     size_t source_count);

}  // namespace rptcalc
