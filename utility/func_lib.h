// The function library object, made by ActiveX_Lib.Create_Func_Lib.
//
// Late-bound members (every parameter by reference):
//   ValueSplitStr() -> String
//       The separator of value lists, qev::kValueListSeparator (U+001F); the
//       same on every call and in every process.
//   FormatDec(Value) -> variant
//       Rounds to 2 decimals, half away from zero on the decimal value; the
//       rules for Empty, Null and text are in utility/format_dec.h.
//   qevRaisError(ClassName, ProcName, Description, Number As Long,
//                Source (variant), Extra1, Extra2)
//       Reports an error that a component trapped: writes one line
//       "qevActiveXLib: <ReportedError::ToText()>" to standard error (unless
//       that ActiveX_Lib object's EchoErrors is False) and appends the
//       error to the error list of the ActiveX_Lib object that made this
//       one. Returns nothing and never raises: a Source that is
//       Null, Empty or an object is reported as "" or "(object)".
#pragma once

#include <memory>

#include "platform/variant.h"
#include "utility/error_log.h"

namespace qev::utility {

Object NewFuncLib(std::shared_ptr<ErrorLog> log);

}  // namespace qev::utility
