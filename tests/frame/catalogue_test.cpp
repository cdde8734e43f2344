// The 22 classes: creation by ProgID and CLSID, every catalogue property
// through late binding, members in slot order.
#include <gtest/gtest.h>

#include <set>

#include "frame/catalogue.h"
#include "frame/registration.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::frame {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterLinkedClasses(); }
};

std::vector<std::string> MemberNames(const Object& obj) {
  std::vector<std::string> names;
  for (const auto& m : obj->type_info().members()) names.push_back(m.name);
  return names;
}

TEST_F(CatalogueTest, TwentyTwoClassesCreatableByProgIdAndClsid) {
  ASSERT_EQ(Catalogue().size(), 22u);
  std::set<std::string> clsids, iids;
  for (const ClassSpec& spec : Catalogue()) {
    EXPECT_EQ(spec.progid, "qevRptCalLib." + spec.name);
    clsids.insert(spec.clsid.ToString());
    iids.insert(spec.iid.ToString());
    Object by_progid = CreateObject(spec.progid);
    Object by_lower = CreateObject(ToLowerAscii(spec.progid));
    Object by_clsid = CreateObject(spec.clsid.ToString());
    ASSERT_TRUE(by_progid && by_lower && by_clsid) << spec.name;
    EXPECT_EQ(by_progid->type_info().name(), "_" + spec.name);
    EXPECT_EQ(by_clsid->type_info().iid(), spec.iid);
    // Each creation is a new object.
    EXPECT_NE(by_progid.get(), by_clsid.get());
  }
  EXPECT_EQ(clsids.size(), 22u);
  EXPECT_EQ(iids.size(), 22u);
}

TEST_F(CatalogueTest, MembersInSlotOrder) {
  EXPECT_EQ(MemberNames(CreateObject("qevRptCalLib.Rpt_Tol_Type")),
            (std::vector<std::string>{"QtyIndex", "SourceViewName", "ObjField", "TypeField",
                                      "RptTab", "RptDesc", "CondStr", "Global_Lib_Obj",
                                      "ComputerName", "CalcuRpt", "ChangeValue",
                                      "GetDetailCondStr", "UpdateHeader"}));
  EXPECT_EQ(MemberNames(CreateObject("qevRptCalLib.Rpt_Kc_Zz")),
            (std::vector<std::string>{"SourceViewName", "RptTab", "RptDetailTab", "RptDesc",
                                      "JzyMonth", "CondStr", "ComputerName", "Global_Lib_Obj",
                                      "QueryDbSelect", "CalcuRpt", "GetDetailCondStr"}));
  EXPECT_EQ(MemberNames(CreateObject("qevRptCalLib.Rpt_Tol_Rbb")),
            (std::vector<std::string>{"CondStr", "JzrDay", "Submiter", "Global_Lib_Obj",
                                      "ComputerName", "RptInit", "CalcuRpt"}));
  for (const ClassSpec& spec : Catalogue()) {
    const auto& members = spec.type_info.members();
    for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(members[i].id, static_cast<int>(i));
  }
}

// Every let/get property of every class stores and returns its value
// unchanged; 16-bit properties check their range.
TEST_F(CatalogueTest, EveryPropertyRoundTripsThroughLateBinding) {
  for (const ClassSpec& spec : Catalogue()) {
    Object obj = CreateObject(spec.progid);
    Variant v(obj);
    for (const MemberInfo& m : spec.type_info.members()) {
      if (!(m.kinds & kInvokeLet)) continue;
      SCOPED_TRACE(spec.name + "." + m.name);
      if (m.type == VarType::kInt16) {
        EXPECT_EQ(Get(v, m.name), Variant(int16_t{0}));  // fresh component holds zero
        Let(v, m.name, Variant(int16_t{-32768}));
        EXPECT_EQ(Get(v, m.name), Variant(int16_t{-32768}));
        Let(v, m.name, Variant("123"));
        EXPECT_EQ(Get(v, m.name), Variant(int16_t{123}));
        try {
          Let(v, m.name, Variant(int32_t{40000}));
          ADD_FAILURE() << "no overflow";
        } catch (const RuntimeError& e) {
          EXPECT_EQ(e.number(), kErrOverflow);
        }
        EXPECT_EQ(Get(v, m.name), Variant(int16_t{123}));
      } else {
        EXPECT_EQ(Get(v, m.name), Variant(""));
        const std::string value = " " + m.name + " 'x' 住院 ";
        Let(v, m.name, Variant(value));
        EXPECT_EQ(Get(v, m.name), Variant(value));
        Let(v, m.name, Variant(2.5));
        EXPECT_EQ(Get(v, m.name), Variant("2.5"));
      }
    }
    // Values are kept per object: a second object is fresh.
    Object other = CreateObject(spec.progid);
    if (spec.type_info.Find("RptTab")) {
      EXPECT_EQ(Get(Variant(other), "RptTab"), Variant(""));
    }
  }
}

TEST_F(CatalogueTest, GlobalLibObjIsHeldByReference) {
  Object host = CreateObject("qevRptCalLib.Rpt_RegCz");  // any object will do as a value
  Object report = CreateObject("qevRptCalLib.Rpt_Tol_Good");
  Variant r(report);
  EXPECT_TRUE(Get(r, "Global_Lib_Obj").IsObject());
  EXPECT_EQ(Get(r, "Global_Lib_Obj").object(), nullptr);
  const long before = host.use_count();
  Set(r, "Global_Lib_Obj", host);
  EXPECT_EQ(host.use_count(), before + 1);
  EXPECT_EQ(Get(r, "Global_Lib_Obj").object().get(), host.get());
  Set(r, "Global_Lib_Obj", nullptr);
  EXPECT_EQ(host.use_count(), before);
  // Read-only members refuse assignment; unknown members are refused.
  for (const char* member : {"ComputerName", "NoSuchMember"}) {
    try {
      Let(r, member, Variant("x"));
      ADD_FAILURE() << member;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), kErrNoMember);
      EXPECT_NE(e.description().find(member), std::string::npos);
    }
  }
  // Global_Lib_Obj takes objects only.
  try {
    Set(r, "Global_Lib_Obj", nullptr);
    Let(r, "Global_Lib_Obj", Variant("text"));
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrNoMember);
  }
}

}  // namespace
}  // namespace qev::frame
