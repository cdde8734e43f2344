#include "frame/utility_lib.h"

#include "frame/CreateActiveXObj.h"
#include "platform/dispatch.h"

namespace qev::frame {

GoodInfo::GoodInfo(const Object& global_lib_obj)
    : obj_(Call(GetActiveXObj(), "Create_Good_Info_Class")) {
  Set(obj_, "Global_Lib_Obj", global_lib_obj);
}

void GoodInfo::CheckInfo(const Variant& good_id) const {
  Variant id = good_id;
  Call(obj_, "CheckInfo", ByRef{id});
}

Variant GoodInfo::Field(std::string_view name) const { return Call(obj_, "Field", Variant(name)); }

}  // namespace qev::frame
