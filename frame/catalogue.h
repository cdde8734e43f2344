// The class catalogue of the report library: the 22 creatable classes, each
// with its ProgID, its fixed class and interface identifiers and its one
// dual interface, members in slot order with their signatures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"
#include "platform/guid.h"

namespace qev::frame {

inline constexpr std::string_view kLibraryName = "qevRptCalLib";

struct ClassSpec {
  std::string name;    // "Rpt_Tol_Good"
  std::string progid;  // "qevRptCalLib.Rpt_Tol_Good"
  Guid clsid;
  Guid iid;
  TypeInfo type_info;  // interface "_Rpt_Tol_Good", members in slot order
};

// All classes, in catalogue order.
const std::vector<ClassSpec>& Catalogue();
// The class of that name (without regard to case), or nullptr.
const ClassSpec* FindClass(std::string_view name);

}  // namespace qev::frame
