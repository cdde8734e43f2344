#include "platform/error.h"

namespace qev {

const char* StandardDescription(int32_t number) {
  switch (number) {
    case kErrInvalidArgument: return "Invalid procedure call or argument";
    case kErrOverflow: return "Overflow";
    case kErrSubscript: return "Subscript out of range";
    case kErrDivisionByZero: return "Division by zero";
    case kErrTypeMismatch: return "Type mismatch";
    case kErrObjectNotSet: return "Object variable or With block variable not set";
    case kErrInvalidNull: return "Invalid use of Null";
    case kErrObjectRequired: return "Object required";
    case kErrCannotCreate: return "ActiveX component can't create object";
    case kErrNoMember: return "Object doesn't support this property or method";
    case kErrArgNotOptional: return "Argument not optional";
    case kErrArgCount: return "Wrong number of arguments or invalid property assignment";
    default: return "";
  }
}

std::string Error::ToString() const {
  std::string out = "Error " + std::to_string(number);
  if (!source.empty()) out += " (" + source + ")";
  out += ": " + description;
  return out;
}

RuntimeError::RuntimeError(Error error) : error_(std::move(error)) {}
RuntimeError::~RuntimeError() = default;

void Raise(int32_t number, std::string description, std::string source) {
  if (description.empty()) description = StandardDescription(number);
  throw RuntimeError(Error{number, std::move(source), std::move(description)});
}

}  // namespace qev
