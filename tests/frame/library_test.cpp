// The shared library qevRptCalLib as a host loads it: registered into a
// class registry by its own DllRegisterServer, then created by ProgID and
// CLSID in a process that has not linked the report classes in.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "tests/support/late_bound.h"
#include "tests/support/temp_dir.h"

namespace qev {
namespace {

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QEV_REGISTRY", dir_.File("classes.reg").c_str(), 1);
    handle_ = dlopen(QEV_RPTCAL_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  template <typename Fn>
  Fn Entry(const char* name) {
    auto fn = reinterpret_cast<Fn>(dlsym(handle_, name));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }

  testing::TempDir dir_;
  void* handle_ = nullptr;
};

TEST_F(LibraryTest, RegisterCreateUnregister) {
  // Nothing is known before registration.
  EXPECT_THROW(CreateObject("qevRptCalLib.Rpt_Tol_Good"), RuntimeError);

  ASSERT_EQ(Entry<DllRegisterServerFn>("DllRegisterServer")(), kS_OK);
  const auto entries = Registry::Default().Load();
  ASSERT_EQ(entries.size(), 22u);
  for (const auto& e : entries) {
    EXPECT_EQ(e.info.progid.rfind("qevRptCalLib.Rpt_", 0), 0u) << e.info.progid;
    EXPECT_NE(e.library.find("libqevRptCalLib.so"), std::string::npos);
  }

  auto can_unload = Entry<DllCanUnloadNowFn>("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), kS_OK);
  // Every class by ProgID (each member of each class: catalogue_test.cpp).
  for (const auto& e : entries)
    EXPECT_EQ(CreateObject(e.info.progid)->type_info().iid(), e.info.iid) << e.info.progid;
  {
    Variant good(CreateObject("qevRptCalLib.Rpt_Tol_Good"));
    EXPECT_EQ(good.object()->type_info().name(), "_Rpt_Tol_Good");
    Let(good, "SourceViewName", Variant("rpt_fy_v"));
    EXPECT_EQ(Get(good, "SourceViewName"), Variant("rpt_fy_v"));
    Variant by_clsid(CreateObject(entries[3].info.clsid.ToString()));
    EXPECT_EQ(by_clsid.object()->type_info().iid(), entries[3].info.iid);
    EXPECT_EQ(can_unload(), kS_FALSE);
  }
  EXPECT_EQ(can_unload(), kS_OK);

  ASSERT_EQ(Entry<DllUnregisterServerFn>("DllUnregisterServer")(), kS_OK);
  EXPECT_TRUE(Registry::Default().Load().empty());
  EXPECT_EQ(testing::ErrorNumberOf([] { CreateObject("qevRptCalLib.Rpt_Tol_Good"); }), kErrCannotCreate);
}

}  // namespace
}  // namespace qev
