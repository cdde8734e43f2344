// The list object: OpenArray, ArrayItem, ArrayReplace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"
#include "utility/activex_lib.h"

namespace qev::utility {
namespace {

const char kZeroDays[] = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";

class FuncArrayTest : public ::testing::Test {
 protected:
  Variant NewList() { return Call(activex_, "Create_Func_Array"); }

  Variant Open(const std::string& text, const std::string& separator) {
    Variant list = NewList();
    Variant t(text), s(separator);
    Call(list, "OpenArray", ByRef{t}, ByRef{s});
    return list;
  }
  static std::string Item(const Variant& list, int16_t index) {
    Variant i(index);
    return Call(list, "ArrayItem", ByRef{i}).ToText();
  }
  // Every item, up to the first index that is refused.
  static std::vector<std::string> Items(const Variant& list) {
    std::vector<std::string> out;
    for (int16_t i = 0; testing::RaisedBy([&] { out.push_back(Item(list, i)); }).number == 0; ++i) {
    }
    return out;
  }
  static std::string Replace(const Variant& list, Variant index, const std::string& value,
                             int16_t flag = 0) {
    Variant v(value), f(flag);
    return Call(list, "ArrayReplace", ByRef{index}, ByRef{v}, ByRef{f}).ToText();
  }

  Variant activex_ = Variant(NewActiveXLib());
};

TEST_F(FuncArrayTest, EmptySeparatorSplitsADayListAtCommas) {
  const Variant days = Open(kZeroDays, "");
  EXPECT_EQ(Items(days), std::vector<std::string>(31, "0"));
  EXPECT_RAISES(kErrSubscript, Item(days, 31));
  EXPECT_RAISES(kErrSubscript, Item(days, -1));
  EXPECT_EQ(Items(Open("10,-3,,7", "")), (std::vector<std::string>{"10", "-3", "", "7"}));
}

TEST_F(FuncArrayTest, CustomSeparatorsMatchExactly) {
  const Variant pipes = Open("a||b|c||", "||");
  EXPECT_EQ(Items(pipes), (std::vector<std::string>{"a", "b|c", ""}));
  EXPECT_EQ(Replace(pipes, Variant(int16_t{1}), "X"), "a||X||");
  // Case-sensitive: "X" does not split at "x".
  EXPECT_EQ(Items(Open("aXbxc", "x")), (std::vector<std::string>{"aXb", "c"}));
  // With a separator of its own, commas are plain text.
  EXPECT_EQ(Items(Open("1,5\x1F" "2,5", "\x1F")), (std::vector<std::string>{"1,5", "2,5"}));
}

TEST_F(FuncArrayTest, EmptyListIsOneEmptyItem) {
  const Variant list = Open("", "");
  EXPECT_EQ(Items(list), (std::vector<std::string>{""}));
  EXPECT_EQ(Replace(list, Variant(int16_t{0}), "7"), "7");
}

TEST_F(FuncArrayTest, ReplaceReturnsTheWholeListAndKeepsTheChange) {
  const Variant days = Open(kZeroDays, "");
  std::string want = kZeroDays;
  want[2 * 4] = '3';  // item 4, day 5
  EXPECT_EQ(Replace(days, Variant(int16_t{4}), "3"), want);
  EXPECT_EQ(Item(days, 4), "3");
  // Index as any number or numeric text.
  EXPECT_EQ(Replace(days, Variant(30.0), "-1"), want.substr(0, want.size() - 1) + "-1");
  EXPECT_EQ(Replace(days, Variant("0"), "12"), "12" + want.substr(1, want.size() - 2) + "-1");
  EXPECT_RAISES(kErrSubscript, Replace(days, Variant(int32_t{31}), "1"));
  EXPECT_RAISES(kErrSubscript, Replace(days, Variant(int32_t{-1}), "1"));
  EXPECT_RAISES(kErrInvalidNull, Replace(days, Variant::Null(), "1"));
}

TEST_F(FuncArrayTest, OnlyFlagZeroIsAccepted) {
  const Variant list = Open("a,b,c", "");
  for (int16_t flag : {int16_t{1}, int16_t{-1}, int16_t{2}}) {
    const Error e = testing::ExpectRaised(kErrInvalidArgument, [&] { Replace(list, Variant(int16_t{1}), "X", flag); },
                                          "flag " + std::to_string(flag));
    EXPECT_EQ(e.source, "qevActiveXLib.Func_Array");
  }
  EXPECT_EQ(Item(list, 1), "b");  // a refused call changes nothing
}

TEST_F(FuncArrayTest, ItemAndReplaceBeforeOpenAreRefused) {
  const Variant list = NewList();
  testing::ExpectRaised(kErrInvalidArgument, [&] { Item(list, 0); }, "before OpenArray");
  EXPECT_RAISES(kErrInvalidArgument, Replace(list, Variant(int16_t{0}), "1"));
}

TEST_F(FuncArrayTest, ReopeningReplacesTheList) {
  const Variant list = Open("a,b,c", "");
  Variant t("x;y"), s(";");
  Call(list, "OpenArray", ByRef{t}, ByRef{s});
  EXPECT_EQ(Items(list), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(Replace(list, Variant(int16_t{0}), "z"), "z;y");
}

}  // namespace
}  // namespace qev::utility
