#include "frame/Rpt_Mode.h"

#include <vector>

#include "frame/Func_Mode.h"
#include "platform/checked.h"

namespace qev::frame {

namespace {

std::vector<std::string> Split(const std::string& text, const std::string& sep) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t pos; !sep.empty() && (pos = text.find(sep, start)) != std::string::npos;
       start = pos + sep.size())
    items.push_back(text.substr(start, pos - start));
  items.push_back(text.substr(start));
  return items;
}

std::string WithoutBlanks(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out += c;
  return out;
}

}  // namespace

std::string GetHeadStr(const std::string& RptDesc) {
  if (RptDesc.empty()) return "";
  const std::vector<std::string> items = Split(RptDesc, ValueSplitStr());
  const int64_t upper = static_cast<int64_t>(items.size()) - 1;
  auto item = [&](int64_t i) -> const std::string& {
    if (i > upper) Raise(kErrSubscript);
    return items[static_cast<size_t>(i)];
  };
  std::string result;
  for (int16_t i = 0; i <= upper; i = CheckedAdd16(i, 2)) {
    if (i > 0) result += "   ";
    if (!item(i).empty())
      result += WithoutBlanks(item(i)) + ":" + item(i + 1);
    else
      result += item(i + 1);
  }
  return result;
}

}  // namespace qev::frame
