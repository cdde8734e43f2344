// The shared library qevRptCalLib as a host loads it: registered into a
// class registry by its own DllRegisterServer, then created by ProgID and
// CLSID in a process that has not linked the report classes in.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
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
  // Every class, by ProgID and by CLSID, with every assignable property set
  // and read back through late binding.
  for (const auto& e : entries) {
    SCOPED_TRACE(e.info.progid);
    Variant by_progid(CreateObject(e.info.progid));
    Variant by_clsid(CreateObject(e.info.clsid.ToString()));
    EXPECT_EQ(by_progid.object()->type_info().iid(), e.info.iid);
    EXPECT_EQ(by_clsid.object()->type_info().name(), by_progid.object()->type_info().name());
    for (const MemberInfo& m : by_progid.object()->type_info().members()) {
      if (!(m.kinds & kInvokeLet)) continue;
      const Variant value = m.type == VarType::kInt16 ? Variant(int16_t{-7}) : Variant(m.name + "值");
      Let(by_progid, m.name, value);
      EXPECT_EQ(Get(by_progid, m.name), value) << m.name;
      EXPECT_NE(Get(by_clsid, m.name), value) << m.name;  // objects keep their own values
    }
  }
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

  // The class factory answers only for its classes and the factory interface.
  auto get = Entry<DllGetClassObjectFn>("DllGetClassObject");
  void* pv = nullptr;
  const Guid unknown = Guid::FromLiteral("{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(get(&unknown.value, &kIID_IClassFactory.value, &pv), kCLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(get(&entries[0].info.clsid.value, &unknown.value, &pv), kE_NOINTERFACE);
  EXPECT_EQ(pv, nullptr);

  ASSERT_EQ(Entry<DllUnregisterServerFn>("DllUnregisterServer")(), kS_OK);
  EXPECT_TRUE(Registry::Default().Load().empty());
  try {
    CreateObject("qevRptCalLib.Rpt_Tol_Good");
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrCannotCreate);
  }
}

// The library exports the four entry points and nothing else.
TEST_F(LibraryTest, ExportsOnlyTheFourEntryPoints) {
  const std::string out = dir_.File("nm.txt");
  const std::string cmd = std::string("nm -D --defined-only ") + QEV_RPTCAL_SO +
                          " | awk '{print $3}' | sort > " + out;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  std::vector<std::string> symbols;
  for (std::string s; std::getline(in, s);)
    if (!s.empty()) symbols.push_back(s);
  EXPECT_EQ(symbols, (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                               "DllRegisterServer", "DllUnregisterServer"}));
}

}  // namespace
}  // namespace qev
