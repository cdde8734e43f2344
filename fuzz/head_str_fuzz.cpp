// GetHeadStr on any RptDesc: an even number of items gives the pairs
// "label:value" (the label without its blanks; the value alone under an
// empty label) three blanks apart; an odd number fails with error 9.
#include <string>
#include <vector>

#include "frame/Rpt_Mode.h"
#include "fuzz/fuzz_check.h"
#include "host/sql_text.h"
#include "platform/error.h"
#include "utility/server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (qev::utility::RegisterLinkedClasses(), true);
  (void)registered;
  const std::string desc(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> items;
  qev::host::SplitValueList(desc, &items);
  std::string expected;
  for (size_t i = 0; !desc.empty() && i + 1 < items.size(); i += 2) {
    if (i) expected += "   ";
    for (char c : items[i])
      if (c != ' ') expected += c;
    if (!items[i].empty()) expected += ':';
    expected += items[i + 1];
  }
  try {
    const std::string head = qev::frame::GetHeadStr(desc);
    FUZZ_CHECK(desc.empty() || items.size() % 2 == 0);
    FUZZ_CHECK(head == expected);
  } catch (const qev::RuntimeError& e) {
    FUZZ_CHECK(!desc.empty() && items.size() % 2 == 1 && e.number() == qev::kErrSubscript);
  }
  return 0;
}
