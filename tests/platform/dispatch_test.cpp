// Late-bound calls: member lookup, argument checking and conversion,
// by-reference arguments, property assignment and error sources.

#include "platform/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/checked.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"

namespace qev {
namespace {

using ::qev::testing::ExpectRaised;
using ::qev::testing::RaisedBy;
using ::testing::HasSubstr;

Variant I16(int v) { return Variant(static_cast<int16_t>(v)); }

// An object of another class, whose errors carry its own source.
class Helper : public Dispatch {
 public:
  static const TypeInfo& Info() {
    static const TypeInfo info(
        "_Helper", Guid::FromLiteral("{6E1B0C52-2C1F-4D7A-9A55-0B0D3C7E0001}"), "qevTest.Helper",
        {Method("Fail", {Param("Number", VarType::kInt32)}),
         Property("Name", VarType::kString, kInvokeGet)});
    return info;
  }
  const TypeInfo& type_info() const override { return Info(); }
  Variant Invoke(const MemberInfo& m, InvokeKind, ArgList& args) override {
    if (m.id == 1) return Variant("helper");
    Raise(args[0].ToInt32(), "helper failed");
  }
};

// The class under test: string, 16-bit and object properties, a read-only
// property, by-reference parameters, an optional object parameter.
class Sample : public Dispatch {
 public:
  enum Slot {
    kName,
    kCount,
    kPartner,
    kBump,
    kDescribe,
    kVersion,
    kFail,
    kFailWithSource,
    kRelay,
    kClear,
    kSum,
    kSlots
  };

  static const TypeInfo& Info() {
    static const TypeInfo info(
        "_Sample", Guid::FromLiteral("{6E1B0C52-2C1F-4D7A-9A55-0B0D3C7E0002}"), "qevTest.Sample",
        {
            Property("Name", VarType::kString, kInvokeGet | kInvokeLet),
            Property("Count", VarType::kInt16, kInvokeGet | kInvokeLet),
            Property("Partner", VarType::kObject, kInvokeGet | kInvokeSet),
            Method("Bump", {Param("Text", VarType::kString), Param("N", VarType::kInt16)}),
            Function("Describe",
                     {Param("Prefix", VarType::kString), Param("Other", VarType::kObject, true)},
                     VarType::kString),
            Property("Version", VarType::kString, kInvokeGet),
            Method("Fail", {Param("Number", VarType::kInt32)}),
            Method("FailWithSource", {}),
            Method("Relay", {}),
            Method("Clear", {Param("Target", VarType::kEmpty)}),
            Function("Sum",
                     {Param("A", VarType::kDouble, false, false), Param("B", VarType::kDouble),
                      Param("C", VarType::kDouble), Param("D", VarType::kDouble),
                      Param("E", VarType::kDouble), Param("F", VarType::kDouble),
                      Param("G", VarType::kDouble), Param("H", VarType::kDouble)},
                     VarType::kDouble),
        },
        "Name");
    return info;
  }

  const TypeInfo& type_info() const override { return Info(); }

  Variant Invoke(const MemberInfo& m, InvokeKind kind, ArgList& args) override {
    ++invocations;
    switch (m.id) {
      case kName:
        if (kind != kInvokeLet) return Variant(name_);
        name_ = args[0].string();  // already text: the runtime converted it
        return Variant();
      case kCount:
        if (kind != kInvokeLet) return Variant(count_);
        if (args[0].type() != VarType::kInt16) Raise(kErrInvalidArgument, "not converted");
        count_ = args[0].ToInt16();
        return Variant();
      case kPartner:
        if (kind != kInvokeSet) return Variant(partner_);
        partner_ = args[0].ToObject();
        return Variant();
      case kBump:
        // The runtime has converted both arguments to their declared types.
        args[0] = Variant(args[0].string() + "!");
        args[1] = Variant(CheckedAdd16(args[1].ToInt16(), 1));
        return Variant();
      case kDescribe: {
        std::string text = args[0].string() + ":";
        if (args.IsMissing(1)) return Variant(text + "missing");
        const Object other = args[1].ToObject();
        return Variant(text + (other ? Get(Variant(other), "Name").ToText() : "none"));
      }
      case kVersion:
        return Variant("1.0");
      case kFail:
        Raise(args[0].ToInt32(), "sample failed");
      case kFailWithSource:
        Raise(5, "failed elsewhere", "Elsewhere");
      case kRelay:
        return Call(Variant(partner_), "Fail", int32_t{7});
      case kClear:
        args[0] = Variant::Null();
        return Variant();
      case kSum: {
        double sum = 0;
        for (size_t i = 0; i < args.size(); ++i) {
          if (args[i].type() != VarType::kDouble) Raise(kErrInvalidArgument, "not converted");
          sum += args[i].ToDouble();
        }
        return Variant(sum);
      }
    }
    Raise(kErrNoMember);
  }

  int invocations = 0;
  const std::string& name() const { return name_; }
  int16_t count() const { return count_; }

 private:
  std::string name_;
  int16_t count_ = 0;
  Object partner_;
};

// Objects of a class become variants only as counted references.
static_assert(std::is_constructible_v<Variant, std::shared_ptr<Sample>>);
static_assert(!std::is_constructible_v<Variant, Sample*>);

class DispatchTest : public ::testing::Test {
 protected:
  std::shared_ptr<Sample> sample_ = std::make_shared<Sample>();
  Variant obj_{Object(sample_)};
};

// ------------------------------------------------------------- type info

TEST(DispatchTypeInfo, MembersKeepSlotOrder) {
  const TypeInfo& info = Sample::Info();
  ASSERT_EQ(static_cast<size_t>(Sample::kSlots), info.members().size());
  const char* names[] = {"Name", "Count",          "Partner", "Bump",  "Describe", "Version",
                         "Fail", "FailWithSource", "Relay",   "Clear", "Sum"};
  for (size_t i = 0; i < info.members().size(); ++i) {
    EXPECT_EQ(static_cast<DispId>(i), info.members()[i].id);
    EXPECT_EQ(names[i], info.members()[i].name);
    const MemberInfo* found = info.Find(ToUpperAscii(names[i]));
    ASSERT_NE(nullptr, found) << names[i];
    EXPECT_EQ(static_cast<DispId>(i), found->id);
  }
  EXPECT_EQ(nullptr, info.Find("Nam"));
  ASSERT_NE(nullptr, info.default_member());
  EXPECT_EQ(static_cast<DispId>(Sample::kName), info.default_member()->id);
  EXPECT_EQ("qevTest.Sample", info.source());
}

// ------------------------------------------------------------ properties

TEST_F(DispatchTest, PropertiesByNameInAnyCase) {
  Let(obj_, "name", Variant("Ward 3"));
  EXPECT_EQ("Ward 3", sample_->name());
  EXPECT_EQ(Variant("Ward 3"), Get(obj_, "NAME"));
  EXPECT_EQ(Variant("Ward 3"), Call(obj_, "nAmE"));  // a read through a call
  EXPECT_EQ(Variant("Ward 3"), Get(obj_, ""));       // the default member
  Let(obj_, "COUNT", I16(12));
  EXPECT_EQ(I16(12), Get(obj_, "count"));
}

TEST_F(DispatchTest, AssignedValuesAreConvertedToThePropertyTypeOrChangeNothing) {
  Let(obj_, "Count", Variant("  41 "));
  EXPECT_EQ(I16(41), Get(obj_, "Count"));
  Let(obj_, "Count", Variant(3.5));
  EXPECT_EQ(4, sample_->count());
  Let(obj_, "Name", Variant(0.1 + 0.2));
  EXPECT_EQ("0.3", sample_->name());
  Let(obj_, "Name", Variant());
  EXPECT_EQ("", sample_->name());
  // An assignment that does not convert changes nothing.
  Let(obj_, "Count", I16(9));
  Let(obj_, "Name", Variant("kept"));
  const int before = sample_->invocations;
  EXPECT_RAISES(kErrOverflow, Let(obj_, "Count", Variant(32767.5)));
  EXPECT_RAISES(kErrOverflow, Let(obj_, "Count", Variant(int32_t{-40000})));
  EXPECT_RAISES(kErrTypeMismatch, Let(obj_, "Count", Variant("nine")));
  EXPECT_RAISES(kErrInvalidNull, Let(obj_, "Count", Variant::Null()));
  EXPECT_RAISES(kErrInvalidNull, Let(obj_, "Name", Variant::Null()));
  EXPECT_EQ(before, sample_->invocations);  // the object never saw the calls
  EXPECT_EQ(9, sample_->count());
  EXPECT_EQ("kept", sample_->name());
}

TEST_F(DispatchTest, AssignmentRules) {
  ExpectRaised(kErrNoMember, [&] { Let(obj_, "Version", Variant("2.0")); }, "Version");

  // Set needs an object.
  ArgList not_object;
  not_object.Value(Variant("x"));
  EXPECT_RAISES(kErrObjectRequired, Invoke(obj_, "Partner", kInvokeSet, not_object));
  // A string property takes no Set, a method no assignment at all.
  EXPECT_RAISES(kErrNoMember, Set(obj_, "Name", std::make_shared<Helper>()));
  EXPECT_RAISES(kErrNoMember, Let(obj_, "Bump", Variant("x")));
  // A method cannot be read as a property.
  EXPECT_RAISES(kErrNoMember, Get(obj_, "Clear"));
  EXPECT_EQ(0, sample_->invocations);
  EXPECT_EQ(Variant("1.0"), Get(obj_, "Version"));
}

TEST_F(DispatchTest, ObjectPropertyHoldsTheVeryReference) {
  EXPECT_EQ(nullptr, Get(obj_, "Partner").ToObject());
  auto helper = std::make_shared<Helper>();
  Set(obj_, "partner", helper);
  EXPECT_EQ(2, helper.use_count());  // ours and the property's, no copy
  const Variant got = Get(obj_, "Partner");
  ASSERT_TRUE(got.IsObject());
  EXPECT_EQ(helper.get(), got.object().get());
  EXPECT_EQ(3, helper.use_count());
  Set(obj_, "Partner", nullptr);
  EXPECT_EQ(2, helper.use_count());  // only `got` and ours are left
  EXPECT_EQ(nullptr, Get(obj_, "Partner").ToObject());
}

// -------------------------------------------------------------- arguments

TEST_F(DispatchTest, ByRefReachesTheCallersVariable) {
  Variant text("a");
  Variant n = I16(1);
  Call(obj_, "bump", ByRef{text}, ByRef{n});
  EXPECT_EQ(Variant("a!"), text);
  EXPECT_EQ(I16(2), n);

  // A variant parameter takes the variable as it is.
  Variant target(2.5);
  Call(obj_, "Clear", ByRef{target});
  EXPECT_TRUE(target.IsNull());
}

TEST_F(DispatchTest, ConvertedCopyDoesNotReachTheCaller) {
  Variant number_as_text = int32_t{7};  // converted to a string for the call
  Variant count_as_double = 5.0;        // converted to 16 bits for the call
  Call(obj_, "Bump", ByRef{number_as_text}, ByRef{count_as_double});
  EXPECT_EQ(Variant(int32_t{7}), number_as_text);
  EXPECT_EQ(Variant(5.0), count_as_double);
  EXPECT_EQ(1, sample_->invocations);

  // By-value arguments never reach a variable.
  Variant text("v");
  Call(obj_, "Bump", text, I16(1));
  EXPECT_EQ(Variant("v"), text);
}

TEST_F(DispatchTest, OptionalObjectParameter) {
  EXPECT_EQ(Variant("p:missing"), Call(obj_, "Describe", Variant("p")));
  EXPECT_EQ(Variant("p:none"), Call(obj_, "Describe", Variant("p"), Variant()));
  EXPECT_EQ(Variant("p:none"), Call(obj_, "Describe", Variant("p"), Variant(Object())));
  EXPECT_EQ(Variant("p:none"), Call(obj_, "Describe", Variant("p"), nullptr));
  EXPECT_EQ(Variant("p:helper"),
            Call(obj_, "Describe", Variant("p"), Variant(Object(std::make_shared<Helper>()))));
  EXPECT_EQ(Variant("12:missing"), Call(obj_, "Describe", I16(12)));  // converted to text
  ArgList omitted;
  omitted.Value(Variant("q")).Missing();
  EXPECT_EQ(Variant("q:missing"), Invoke(obj_, "Describe", kInvokeMethod, omitted));
  EXPECT_RAISES(kErrTypeMismatch, Call(obj_, "Describe", Variant("p"), Variant("not an object")));
}

TEST_F(DispatchTest, ManyArgumentsAllConverted) {
  EXPECT_EQ(Variant(36.0), Call(obj_, "Sum", Variant("1"), Variant("2"), I16(3), int32_t{4},
                                Variant("5"), 6.0, Variant(" 7 "), Variant("8")));
  Variant h("8.5");
  EXPECT_EQ(Variant(36.5), Call(obj_, "Sum", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, ByRef{h}));
  EXPECT_EQ(Variant("8.5"), h);
}

// ----------------------------------------------------------------- errors

TEST_F(DispatchTest, UnknownMemberIsNamed) {
  const Error e = ExpectRaised(kErrNoMember, [&] { Call(obj_, "Frobnicate", I16(1)); }, "Frobnicate");
  EXPECT_THAT(e.description, HasSubstr("Object doesn't support this property or method"));
  EXPECT_RAISES(kErrNoMember, Get(obj_, "Nam"));
  EXPECT_RAISES(kErrNoMember, Let(obj_, "Names", Variant("x")));
  EXPECT_EQ(0, sample_->invocations);
}

TEST_F(DispatchTest, WrongArgumentCount) {
  Variant text("a");
  ExpectRaised(kErrArgCount, [&] { Call(obj_, "Bump", ByRef{text}); }, "Bump");
  EXPECT_RAISES(kErrArgCount, Call(obj_, "Bump", ByRef{text}, I16(1), I16(2)));
  EXPECT_RAISES(kErrArgCount, Call(obj_, "Describe"));
  EXPECT_RAISES(kErrArgCount, Call(obj_, "Describe", Variant("p"), Variant(), Variant()));
  EXPECT_RAISES(kErrArgCount, Call(obj_, "Name", I16(1)));
  EXPECT_RAISES(kErrArgCount, Call(obj_, "Sum", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0));
  ArgList two;
  two.Value(Variant("a")).Value(Variant("b"));
  EXPECT_RAISES(kErrArgCount, Invoke(obj_, "Name", kInvokeLet, two));
  // A required argument left out.
  ArgList missing;
  Variant n = I16(1);
  missing.Missing().Ref(n);
  ExpectRaised(449, [&] { Invoke(obj_, "Bump", kInvokeMethod, missing); }, "Text");
  EXPECT_EQ(I16(1), n);
  EXPECT_EQ(Variant("a"), text);
  EXPECT_EQ(0, sample_->invocations);
}

TEST_F(DispatchTest, ArgumentThatDoesNotConvertChangesNothing) {
  Variant text("a");
  Variant bad("abc");
  EXPECT_RAISES(kErrTypeMismatch, Call(obj_, "Bump", ByRef{text}, ByRef{bad}));
  Variant big = int32_t{32768};
  EXPECT_RAISES(kErrOverflow, Call(obj_, "Bump", ByRef{text}, ByRef{big}));
  Variant null = Variant::Null();
  EXPECT_RAISES(kErrInvalidNull, Call(obj_, "Bump", ByRef{null}, I16(1)));
  EXPECT_RAISES(kErrTypeMismatch, Call(obj_, "Sum", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, "eight"));
  EXPECT_EQ(0, sample_->invocations);
  EXPECT_EQ(Variant("a"), text);
  EXPECT_EQ(Variant("abc"), bad);
  EXPECT_EQ(Variant(int32_t{32768}), big);
  EXPECT_TRUE(null.IsNull());
}

TEST_F(DispatchTest, ErrorsInsideGetTheObjectsSource) {
  const Error e = RaisedBy([&] { Call(obj_, "Fail", int32_t{32002}); });
  EXPECT_EQ((std::vector<std::string>{"32002", "qevTest.Sample", "sample failed"}),
            (std::vector<std::string>{std::to_string(e.number), e.source, e.description}));
  EXPECT_EQ("Elsewhere", RaisedBy([&] { Call(obj_, "FailWithSource"); }).source);

  // An error of an object called from inside keeps that object's source.
  Set(obj_, "Partner", std::make_shared<Helper>());
  const Error relayed = RaisedBy([&] { Call(obj_, "Relay"); });
  EXPECT_EQ((std::vector<std::string>{"7", "qevTest.Helper", "helper failed"}),
            (std::vector<std::string>{std::to_string(relayed.number), relayed.source, relayed.description}));

  // A runtime error inside the object (16-bit overflow) is the object's too.
  Variant text("a");
  Variant n = I16(32767);
  const Error overflow = RaisedBy([&] { Call(obj_, "Bump", ByRef{text}, ByRef{n}); });
  EXPECT_EQ(kErrOverflow, overflow.number);
  EXPECT_EQ("qevTest.Sample", overflow.source);
}

TEST_F(DispatchTest, CallingOnNothing) {
  const Variant nothing{Object()};
  const Error e = RaisedBy([&] { Call(nothing, "Name"); });
  EXPECT_EQ(kErrObjectNotSet, e.number);
  EXPECT_EQ("Object variable or With block variable not set", e.description);
  EXPECT_RAISES(kErrObjectNotSet, Get(Variant(), "Name"));
  EXPECT_RAISES(kErrObjectNotSet, Let(nothing, "Name", Variant("x")));
  EXPECT_RAISES(kErrObjectNotSet, Set(nothing, "Partner", nullptr));
  ArgList args;
  EXPECT_RAISES(kErrObjectNotSet, Invoke(Object(), "Name", kInvokeGet, args));
  EXPECT_RAISES(kErrObjectRequired, Get(Variant("text"), "Name"));
  // Relay on a sample without a partner calls on Nothing.
  EXPECT_RAISES(kErrObjectNotSet, Call(obj_, "Relay"));
}

TEST(DispatchArgList, ValuesReferencesAndMissing) {
  Variant var("mine");
  ArgList args{Variant(1.0), Variant("two")};
  args.Ref(var).Missing();
  for (int i = 0; i < 6; ++i) args.Value(I16(i));
  ASSERT_EQ(10u, args.size());
  EXPECT_EQ(&var, &args[2]);
  EXPECT_TRUE(args.IsMissing(3));
  EXPECT_FALSE(args.IsMissing(2));
  EXPECT_TRUE(args[3].IsEmpty());
  EXPECT_EQ(I16(5), args[9]);
  // A rebound argument is a copy; the variable it replaced stays.
  args.Rebind(2, Variant("copy"));
  args[2] = Variant("changed");
  EXPECT_EQ(Variant("mine"), var);
  // Earlier arguments stay where they were while others are added.
  const Variant* first = &args[0];
  for (int i = 0; i < 20; ++i) args.Value(I16(i));
  EXPECT_EQ(first, &args[0]);
  EXPECT_EQ(Variant(1.0), args[0]);
  EXPECT_EQ(I16(5), args[9]);
}

}  // namespace
}  // namespace qev
