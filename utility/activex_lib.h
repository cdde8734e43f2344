// ActiveX_Lib: the utility library's one creatable class, created by the
// ProgID "qevActiveXLib.ActiveX_Lib". A process normally keeps a single
// instance and asks it for short-lived helper objects.
//
// Late-bound members:
//   Create_Func_Lib() -> object         a new function library (func_lib.h)
//   Create_Func_Array() -> object       a new list object (func_array.h)
//   Create_Good_Info_Class() -> object  a new good-info object (good_info.h)
//   ErrorCount (Long, read only)        errors reported through qevRaisError
//                                       of this object's function libraries
//                                       and still kept (error_log.h)
//   ErrorText(Index As Long) -> String  error Index, 0 the oldest kept, as
//                                       ReportedError::ToText(); out of
//                                       range: error 9
//   ClearErrors()                       empties the list
//   EchoErrors (Boolean, read/write)    True (the default): each reported
//                                       error is also written to standard
//                                       error; a host that prints the list
//                                       itself sets it False
// Every member is safe to call from several threads at once.
#pragma once

#include "platform/variant.h"

namespace qev::utility {

Object NewActiveXLib();

}  // namespace qev::utility
