// libqevActiveXLib.so as a component server, in a process that does not
// link the utility classes in: registration beside other entries, creation
// by ProgID and CLSID through the class registry, the class object, the
// unload query, unregistration, and registry entries that cannot be served.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/value_list.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"

namespace qev {
namespace {

using testing::ErrorNumberOf;
constexpr char kProgId[] = "qevActiveXLib.ActiveX_Lib";
constexpr char kClsid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B11}";
const char* const kIid = "{10000000-0000-4000-8000-000000000001}";

RegistryEntry Entry(std::string progid, const char* clsid, std::string library) {
  return {ClassInfo{std::move(progid), Guid::FromLiteral(clsid), Guid::FromLiteral(kIid)},
          std::move(library)};
}

class SharedLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QEV_REGISTRY", dir_.File("registry/classes.reg").c_str(), 1);
    handle_ = dlopen(QEV_UTILITY_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    register_ = reinterpret_cast<DllRegisterServerFn>(dlsym(handle_, "DllRegisterServer"));
    unregister_ = reinterpret_cast<DllUnregisterServerFn>(dlsym(handle_, "DllUnregisterServer"));
    get_class_ = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle_, "DllGetClassObject"));
    can_unload_ = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle_, "DllCanUnloadNow"));
    ASSERT_TRUE(register_ && unregister_ && get_class_ && can_unload_);
    char* real = realpath(QEV_UTILITY_SO, nullptr);
    library_ = real;
    free(real);
  }
  // The class table keeps the library loaded; this only drops our handle.
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  testing::TempDir dir_;
  std::string library_;
  void* handle_ = nullptr;
  DllRegisterServerFn register_ = nullptr;
  DllUnregisterServerFn unregister_ = nullptr;
  DllGetClassObjectFn get_class_ = nullptr;
  DllCanUnloadNowFn can_unload_ = nullptr;
};

TEST_F(SharedLibraryTest, RegisterCreateUnloadQueryAndUnregister) {
  const Registry reg = Registry::Default();
  reg.Add({Entry("qevTest.Other", "{A0000000-0000-4000-8000-00000000000A}", "/lib/other.so")});
  // Not linked in and not registered: nothing to create.
  EXPECT_EQ(ErrorNumberOf([] { CreateObject(kProgId); }), kErrCannotCreate);
  EXPECT_EQ(ErrorNumberOf([] { CreateObject(kClsid); }), kErrCannotCreate);

  ASSERT_EQ(register_(), kS_OK);
  ASSERT_EQ(register_(), kS_OK);  // registering again adds nothing
  ASSERT_EQ(reg.Load().size(), 2u);
  const auto entry = reg.FindProgId("QEVACTIVEXLIB.ACTIVEX_LIB");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->info.clsid.ToString(), kClsid);
  EXPECT_EQ(entry->library, library_);

  EXPECT_EQ(can_unload_(), kS_OK);
  {
    const Variant lib = Variant(CreateObject(kProgId));
    EXPECT_EQ(can_unload_(), kS_FALSE);
    const Variant func = Call(lib, "Create_Func_Lib");
    EXPECT_EQ(Call(func, "ValueSplitStr").ToText(), kValueListSeparator);
    EXPECT_EQ(ConcatText(Call(func, "FormatDec", Variant(2.675))), "2.68");
    // Errors raised inside the library arrive with their number and source.
    const testing::CaughtError e = testing::ErrorOf([&] { Call(func, "FormatDec", Variant("abc")); });
    EXPECT_EQ(e.number, kErrTypeMismatch);
    EXPECT_EQ(e.source, "qevActiveXLib.Func_Lib");
    const Variant by_clsid = Variant(CreateObject(kClsid));
    EXPECT_NE(by_clsid.object(), lib.object());
    EXPECT_EQ(by_clsid.object()->type_info().name(), "_ActiveX_Lib");
  }
  EXPECT_EQ(can_unload_(), kS_OK);

  ASSERT_EQ(unregister_(), kS_OK);
  EXPECT_EQ(ErrorNumberOf([] { CreateObject(kProgId); }), kErrCannotCreate);
  EXPECT_EQ(ErrorNumberOf([] { CreateObject(kClsid); }), kErrCannotCreate);
  const auto left = reg.Load();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].info.progid, "qevTest.Other");
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
  factory = &factory;  // anything but null
  EXPECT_EQ(get_class_(&other.value, &kIID_IClassFactory.value, &factory), kCLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  factory = &factory;
  EXPECT_EQ(get_class_(&clsid.value, &other.value, &factory), kE_NOINTERFACE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(get_class_(&clsid.value, &kIID_IClassFactory.value, nullptr), kE_POINTER);
}

TEST_F(SharedLibraryTest, EntriesThatCannotBeServedRaise429) {
  Registry::Default().Add({Entry("qevTest.Ghost", "{B0000000-0000-4000-8000-00000000000B}",
                                 dir_.File("missing.so")),
                           // The library exists but does not serve this class.
                           Entry("qevTest.Stranger", "{C0000000-0000-4000-8000-00000000000C}", library_)});
  for (const char* name : {"qevTest.Ghost", "qevTest.Stranger", "{C0000000-0000-4000-8000-00000000000C}"}) {
    const testing::CaughtError e = testing::ErrorOf([&] { CreateObject(name); });
    EXPECT_EQ(e.number, kErrCannotCreate) << name;
    if (name[0] != '{') {
      EXPECT_NE(e.description.find(name), std::string::npos) << e.description;
    }
  }
  // A registry below a plain file cannot be written: reported, not thrown.
  std::ofstream(dir_.File("plain")) << "x";
  setenv("QEV_REGISTRY", dir_.File("plain/classes.reg").c_str(), 1);
  EXPECT_EQ(register_(), kSELFREG_E_CLASS);
  EXPECT_EQ(unregister_(), kSELFREG_E_CLASS);
}

}  // namespace
}  // namespace qev
