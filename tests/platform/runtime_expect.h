// Test helpers for the component runtime: the error a statement raises, and
// a readable form of variants in failure messages.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/variant.h"

namespace qev {

// Shows a variant as its type and value, e.g. Integer(2) or String("ab").
inline void PrintTo(const Variant& v, std::ostream* os) {
  *os << VarTypeName(v.type());
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return;
    case VarType::kObject:
      *os << "(" << static_cast<const void*>(v.object().get()) << ")";
      return;
    case VarType::kString:
      *os << "(\"" << v.string() << "\")";
      return;
    default:
      *os << "(" << v.ToText() << ")";
  }
}

namespace testing {

// Runs `f` and returns the runtime error it raised; an error numbered 0
// when it raised none.
template <typename F>
Error RaisedBy(F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const RuntimeError& e) {
    return e.error();
  }
  return Error{0, "", "no error raised"};
}

// Expects `f` to raise error `number` with a description that holds
// `words`; returns the error for further checks.
template <typename F>
Error ExpectRaised(int32_t number, F&& f, const std::string& words = "") {
  const Error e = RaisedBy(std::forward<F>(f));
  EXPECT_EQ(e.number, number) << e.description;
  EXPECT_NE(e.description.find(words), std::string::npos) << "'" << words << "' not in: " << e.description;
  return e;
}

}  // namespace testing
}  // namespace qev

// Expects the statements to raise the runtime error `expected_number`.
#define EXPECT_RAISES(expected_number, ...)        \
  EXPECT_EQ(static_cast<int32_t>(expected_number), \
            ::qev::testing::RaisedBy([&] { __VA_ARGS__; }).number)
