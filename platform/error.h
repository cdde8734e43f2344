// Run-time errors of the component runtime.
//
// Every failure that crosses a late-bound call is an Error: a number, the
// source (usually the ProgID of the object that raised it) and a
// description. Errors travel as C++ exceptions of type RuntimeError, the way
// a raised error unwinds every caller that does not trap it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace qev {

// The runtime's usual error numbers for the cases this system raises.
enum ErrorNumber : int32_t {
  kErrOverflow = 6,
  kErrSubscript = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrObjectNotSet = 91,
  kErrInvalidNull = 94,
  kErrCannotCreate = 429,
  kErrObjectRequired = 424,
  kErrNoMember = 438,
  kErrArgNotOptional = 449,
  kErrArgCount = 450,
  kErrInvalidArgument = 5,
  kErrNotImplemented = 32001,   // a report class whose calculation is not built
  kErrDatabase = 32002,         // the database refused a statement
  kErrBadStatement = 32003,     // a statement, name or value list was refused
  kErrRegistry = 32004,         // the class registry could not be read or written
};

// Standard description of a runtime error number ("Overflow", ...); empty
// for numbers the runtime does not describe.
const char* StandardDescription(int32_t number);

// Value type of one error.
struct Error {
  int32_t number = 0;
  std::string source;
  std::string description;

  // "Error <number> (<source>): <description>".
  std::string ToString() const;
};

// The exception that carries an Error.
class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(Error error);
  ~RuntimeError() override;

  const Error& error() const { return error_; }
  int32_t number() const { return error_.number; }
  const std::string& source() const { return error_.source; }
  const std::string& description() const { return error_.description; }
  void set_source(std::string source) { error_.source = std::move(source); }
  const char* what() const noexcept override { return error_.description.c_str(); }

 private:
  Error error_;
};

// Raises error `number`; an empty description takes the standard one.
[[noreturn]] void Raise(int32_t number, std::string description = {},
                        std::string source = {});

}  // namespace qev
