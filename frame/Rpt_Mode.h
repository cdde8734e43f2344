// The header string of a report, built from its description list.
#pragma once

#include <string>

namespace qev::frame {

// RptDesc is a value list of label and value pairs joined by the
// ValueSplitStr separator. Each pair shows as the label with its blanks
// removed, ":" and the value; a pair with an empty label shows its value
// alone; pairs are separated by three blanks. An empty RptDesc gives "".
// An odd number of items fails with error 9 when the missing last value is
// reached; more than 32,767 items fail with error 6 (16-bit item counter).
std::string GetHeadStr(const std::string& RptDesc);

}  // namespace qev::frame
