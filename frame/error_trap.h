// The error trap of the daily sheets: a procedure that catches the errors
// raised in its own body, hands each to the utility library's error
// reporter (Func_Mode's RaisError, with the class and procedure name, the
// error's description, number and source, and two empty strings) and
// returns normally, so that its caller goes on with its next step.
//
// An error that the reporter itself raises is not caught here: it leaves
// the procedure and reaches the caller's own trap, as an error raised in an
// error handler does. Only runtime errors (RuntimeError: a number, a source
// and a description) are trapped; any other C++ exception is no error of
// the component's and passes through.
#pragma once

#include <string>

#include "frame/Func_Mode.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace qev::frame {

template <typename Body>
void ReportingErrors(const std::string& class_name, const std::string& proc_name, Body&& body) {
  try {
    body();
  } catch (const RuntimeError& e) {
    RaisError(class_name, proc_name, e.description(), e.number(), Variant(e.source()), "", "");
  }
}

}  // namespace qev::frame
