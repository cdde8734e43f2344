// libqevActiveXLib.so as a component server, in a process that does not
// link the utility classes in: registration, creation by ProgID and CLSID
// through the class registry, the unload query and unregistration.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/value_list.h"

namespace qev {
namespace {

constexpr char kProgId[] = "qevActiveXLib.ActiveX_Lib";
constexpr char kClsid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B11}";

int32_t CreationError(const std::string& name) {
  try {
    CreateObject(name);
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

class SharedLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(QEV_UTILITY_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    register_ = reinterpret_cast<DllRegisterServerFn>(dlsym(handle_, "DllRegisterServer"));
    unregister_ = reinterpret_cast<DllUnregisterServerFn>(dlsym(handle_, "DllUnregisterServer"));
    get_class_ = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle_, "DllGetClassObject"));
    can_unload_ = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle_, "DllCanUnloadNow"));
    ASSERT_TRUE(register_ && unregister_ && get_class_ && can_unload_);
    // Start from a registry without the class, whatever an earlier run left.
    ASSERT_EQ(unregister_(), kS_OK);
  }
  void TearDown() override {
    if (unregister_) unregister_();
    // The class table keeps the library loaded; this only drops our handle.
    if (handle_) dlclose(handle_);
  }

  void* handle_ = nullptr;
  DllRegisterServerFn register_ = nullptr;
  DllUnregisterServerFn unregister_ = nullptr;
  DllGetClassObjectFn get_class_ = nullptr;
  DllCanUnloadNowFn can_unload_ = nullptr;
};

TEST_F(SharedLibraryTest, RegisterCreateUnloadQueryAndUnregister) {
  // Not linked in and not registered: nothing to create.
  EXPECT_EQ(CreationError(kProgId), kErrCannotCreate);
  EXPECT_EQ(CreationError(kClsid), kErrCannotCreate);

  ASSERT_EQ(register_(), kS_OK);
  const auto entry = Registry::Default().FindProgId(kProgId);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->info.clsid.ToString(), kClsid);
  char* real = realpath(QEV_UTILITY_SO, nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(entry->library, real);
  free(real);

  EXPECT_EQ(can_unload_(), kS_OK);
  {
    const Variant lib = Variant(CreateObject(kProgId));
    EXPECT_EQ(can_unload_(), kS_FALSE);
    const Variant func = Call(lib, "Create_Func_Lib");
    EXPECT_EQ(Call(func, "ValueSplitStr").ToText(), kValueListSeparator);
    EXPECT_EQ(ConcatText(Call(func, "FormatDec", Variant(2.675))), "2.68");
    // Errors raised inside the library arrive with their number and source.
    try {
      Call(func, "FormatDec", Variant("abc"));
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), kErrTypeMismatch);
      EXPECT_EQ(e.source(), "qevActiveXLib.Func_Lib");
    }

    const Variant by_clsid = Variant(CreateObject(kClsid));
    EXPECT_NE(by_clsid.object(), lib.object());
    EXPECT_EQ(by_clsid.object()->type_info().name(), "_ActiveX_Lib");
  }
  EXPECT_EQ(can_unload_(), kS_OK);

  ASSERT_EQ(unregister_(), kS_OK);
  EXPECT_FALSE(Registry::Default().FindProgId(kProgId).has_value());
  EXPECT_EQ(CreationError(kProgId), kErrCannotCreate);
  EXPECT_EQ(CreationError(kClsid), kErrCannotCreate);
}

TEST_F(SharedLibraryTest, ClassObjectServesOnlyItsClass) {
  const Guid clsid = Guid::FromLiteral(kClsid);
  void* factory = nullptr;
  ASSERT_EQ(get_class_(&clsid.value, &kIID_IClassFactory.value, &factory), kS_OK);
  ASSERT_NE(factory, nullptr);
  {
    const Object lib = static_cast<ClassFactory*>(factory)->CreateInstance();
    ASSERT_TRUE(lib);
    EXPECT_EQ(can_unload_(), kS_FALSE);
  }
  EXPECT_EQ(can_unload_(), kS_OK);

  const Guid other = Guid::FromLiteral("{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(get_class_(&other.value, &kIID_IClassFactory.value, &factory),
            kCLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(get_class_(&clsid.value, &other.value, &factory), kE_NOINTERFACE);
}

}  // namespace
}  // namespace qev
