// Value lists and the list object of the utility library. The input's first
// line is a separator, the other lines are values: joined into a value list
// by the reports' ValueList and split again by the host services, the values
// come back; a list text split by the list object (Create_Func_Array) at the
// separator joins back to the same text, its items free of the separator.
#include <string>
#include <string_view>
#include <vector>

#include "frame/Func_Mode.h"
#include "frame/value_list.h"
#include "fuzz/fuzz_check.h"
#include "host/sql_text.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "utility/server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (qev::utility::RegisterLinkedClasses(), true);
  (void)registered;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const size_t nl = in.find('\n');
  if (nl == std::string_view::npos) return 0;
  const std::string sep(in.substr(0, nl));
  const std::string list(in.substr(nl + 1));

  std::vector<std::string> values;
  for (size_t start = 0;;) {
    const size_t end = list.find('\n', start);
    values.push_back(list.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  FUZZ_CHECK(qev::frame::ValueSplitStr() == qev::kValueListSeparator);
  qev::frame::ValueList joined{std::string(qev::kValueListSeparator)};
  size_t separators = 0;
  for (const std::string& v : values) {
    joined.Add(qev::Variant(v));
    for (char c : v) separators += c == qev::kValueListSeparator[0];
  }
  std::vector<std::string_view> split;
  qev::host::SplitValueList(joined.str(), &split);
  FUZZ_CHECK(split.size() == values.size() + separators);
  for (size_t i = 0; separators == 0 && i < values.size(); ++i) FUZZ_CHECK(split[i] == values[i]);

  // The list object: an empty separator means a comma.
  const std::string at = sep.empty() ? "," : sep;
  size_t count = 1;
  for (size_t p = list.find(at); p != std::string::npos; p = list.find(at, p + at.size())) ++count;
  if (count > 32767) return 0;  // items are numbered by an Integer
  const auto item = [&](size_t i) { return qev::frame::ArrayItem(list, int16_t(i), sep); };
  std::string rebuilt;
  for (size_t i = 0; i < count && i < 8; ++i) {
    const std::string it = item(i);
    FUZZ_CHECK(it.find(at) == std::string::npos);
    rebuilt += (i ? at : "") + it;
  }
  FUZZ_CHECK(count > 8 || rebuilt == list);
  FUZZ_CHECK(qev::frame::ArrayReplace(list, qev::Variant(int32_t(count - 1)), item(count - 1), 0,
                                      sep) == list);
  bool past_end = false;
  try {
    item(count);
  } catch (const qev::RuntimeError& e) {
    past_end = e.number() == qev::kErrSubscript;
  }
  FUZZ_CHECK(past_end);
  return 0;
}
