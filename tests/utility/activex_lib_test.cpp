// ActiveX_Lib created by ProgID and CLSID once the classes are linked in.
#include <gtest/gtest.h>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "utility/class_ids.h"
#include "utility/server.h"

namespace qev::utility {
namespace {

TEST(LinkedClasses, ActiveXLibIsCreatableByProgIdAndClsid) {
  RegisterLinkedClasses();
  RegisterLinkedClasses();  // a second call changes nothing

  for (const char* name : {"qevActiveXLib.ActiveX_Lib", "QEVACTIVEXLIB.activex_lib",
                           kActiveXLibClsid, "{6a3e1d52-7c41-4b8e-9f21-3d5a0c7e8b11}"}) {
    const Object lib = CreateObject(name);
    ASSERT_TRUE(lib) << name;
    EXPECT_EQ(lib->type_info().name(), "_ActiveX_Lib") << name;
    const Variant func = Call(Variant(lib), "Create_Func_Lib");
    EXPECT_EQ(Call(func, "ValueSplitStr").ToText(), kValueListSeparator) << name;
  }
  // Every creation is a new object with its own error list.
  EXPECT_NE(CreateObject(kActiveXLibProgId), CreateObject(kActiveXLibProgId));
}

TEST(LinkedClasses, ModuleCountsLiveObjects) {
  RegisterLinkedClasses();
  const long before = UtilityModule().live_objects();
  {
    const Object lib = CreateObject(kActiveXLibProgId);
    EXPECT_EQ(UtilityModule().live_objects(), before + 1);
    EXPECT_EQ(UtilityModule().CanUnloadNow(), kS_FALSE);
  }
  EXPECT_EQ(UtilityModule().live_objects(), before);
}

TEST(LinkedClasses, ErrorsNameTheClass) {
  RegisterLinkedClasses();
  const Variant lib = Variant(CreateObject(kActiveXLibProgId));
  try {
    Call(lib, "ErrorText", Variant(int32_t{0}));
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
    EXPECT_EQ(e.source(), "qevActiveXLib.ActiveX_Lib");
  }
}

}  // namespace
}  // namespace qev::utility
