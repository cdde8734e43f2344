// Typed wrapper for the utility library's good-info object. The function
// and list objects are reached through the Func_Mode wrappers.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace qev::frame {

// A good-info object for one pass over the report rows: created through
// GetActiveXObj().Create_Good_Info_Class and given the component's own host
// library object by reference.
class GoodInfo {
 public:
  explicit GoodInfo(const Object& global_lib_obj);

  // Loads the good with this id; an unknown good has empty attributes.
  void CheckInfo(const Variant& good_id) const;
  // An attribute of the loaded good ("Name", "spec", "UnitName").
  Variant Field(std::string_view name) const;

 private:
  Variant obj_;
};

}  // namespace qev::frame
