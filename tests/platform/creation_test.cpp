// Creation of objects by ProgID and CLSID: classes linked into the process,
// the class registry file, and a component library loaded through its
// entry points.

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/server_module.h"
#include "tests/platform/runtime_expect.h"
#include "tests/platform/test_server_ids.h"
#include "tests/support/temp_dir.h"

namespace qev {
namespace {

using ::qev::testing::RaisedBy;
using ::qev::testing::TempDir;
using ::testing::HasSubstr;
namespace ids = ::qev::test_server;

Guid G(const char* text) { return Guid::FromLiteral(text); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Points the class registry at a file of the test's own for the test's
// duration.
class RegistryScope : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("QEV_REGISTRY")) saved_ = old, had_ = true;
    setenv("QEV_REGISTRY", registry_path().c_str(), 1);
  }
  void TearDown() override {
    if (had_)
      setenv("QEV_REGISTRY", saved_.c_str(), 1);
    else
      unsetenv("QEV_REGISTRY");
  }
  std::string registry_path() const { return dir_.File("config/qev/classes.reg"); }

  TempDir dir_;

 private:
  std::string saved_;
  bool had_ = false;
};

// ------------------------------------------------------------ identifiers

TEST(GuidTest, ParseAndRegistryForm) {
  const auto g = Guid::Parse("{0b5e2c7a-1d43-4f8e-9c21-7a6b5c4d3e01}");
  ASSERT_TRUE(g);
  EXPECT_EQ("{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01}", g->ToString());
  EXPECT_EQ(0x0B5E2C7Au, g->value.data1);
  EXPECT_EQ(0x1D43u, g->value.data2);
  EXPECT_EQ(0x4F8Eu, g->value.data3);
  EXPECT_EQ(0x9Cu, g->value.data4[0]);
  EXPECT_EQ(0x01u, g->value.data4[7]);
  const auto bare = Guid::Parse("0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01");
  ASSERT_TRUE(bare);
  EXPECT_EQ(*g, *bare);
  EXPECT_FALSE(*g == G("{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E02}"));
  for (const char* bad :
       {"", "{}", "0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E010", "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01",
        "0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01}", "(0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01)",
        "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E0G}", "{0B5E2C7A+1D43-4F8E-9C21-7A6B5C4D3E01}",
        "{0B5E2C7A1D43-4F8E-9C21-7A6B5C4D3E01A}"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Guid::Parse(bad));
  }
}

// ------------------------------------------------------- linked classes

// An object that tells which factory made it.
class Thing : public Dispatch {
 public:
  explicit Thing(std::string maker) : maker_(std::move(maker)) {}
  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Thing", G("{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01}"),
                               "qevTest.Thing", {Property("Maker", VarType::kString, kInvokeGet)});
    return info;
  }
  Variant Invoke(const MemberInfo&, InvokeKind, ArgList&) override { return Variant(maker_); }

 private:
  std::string maker_;
};

class ThingFactory : public ClassFactory {
 public:
  explicit ThingFactory(std::string maker) : maker_(std::move(maker)) {}
  Object CreateInstance() override {
    ++created;
    return std::make_shared<Thing>(maker_);
  }
  int created = 0;

 private:
  std::string maker_;
};

// The class table keeps the factories for the life of the process.
ThingFactory linked_factory("linked");
ThingFactory first_factory("first");
ThingFactory second_factory("second");
ThingFactory third_factory("third");
ThingFactory module_factory("module");

const Guid kThingIid = G("{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E01}");

std::string MakerOf(const Object& object) { return Get(Variant(object), "Maker").ToText(); }

using LinkedClassTest = RegistryScope;

TEST_F(LinkedClassTest, CreatedByProgIdInAnyCaseAndByClsid) {
  const char* clsid = "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E10}";
  RegisterLinkedClass({"qevTest.LinkedThing", G(clsid), kThingIid}, &linked_factory);
  const Object a = CreateObject("qevTest.LinkedThing");
  const Object b = CreateObject("QEVTEST.LINKEDTHING");
  const Object c = CreateObject("qevtest.linkedthing");
  const Object d = CreateObject(clsid);
  const Object e = CreateObject("{0b5e2c7a-1d43-4f8e-9c21-7a6b5c4d3e10}");
  const Object f = CreateObjectByClsid(G(clsid));
  for (const Object& o : {a, b, c, d, e, f}) {
    ASSERT_NE(nullptr, o);
    EXPECT_EQ("linked", MakerOf(o));
  }
  EXPECT_EQ(6, linked_factory.created);
  EXPECT_NE(a.get(), b.get());  // a new object each time
}

TEST_F(LinkedClassTest, LaterRegistrationReplacesSameProgIdOrClsid) {
  const char* old_clsid = "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E20}";
  const char* new_clsid = "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E21}";
  RegisterLinkedClass({"qevTest.Replaced", G(old_clsid), kThingIid}, &first_factory);
  RegisterLinkedClass({"QEVTEST.replaced", G(new_clsid), kThingIid}, &second_factory);
  EXPECT_EQ("second", MakerOf(CreateObject("qevTest.Replaced")));
  EXPECT_EQ("second", MakerOf(CreateObject(new_clsid)));
  EXPECT_RAISES(kErrCannotCreate, CreateObject(old_clsid));

  // The same CLSID under another ProgID takes the class away from the old name.
  RegisterLinkedClass({"qevTest.Renamed", G(new_clsid), kThingIid}, &third_factory);
  EXPECT_EQ("third", MakerOf(CreateObject(new_clsid)));
  EXPECT_EQ("third", MakerOf(CreateObject("qevTest.Renamed")));
  EXPECT_RAISES(kErrCannotCreate, CreateObject("qevTest.Replaced"));
}

TEST_F(LinkedClassTest, ServerModuleRegistersItsClassesAndCountsObjects) {
  const char* clsid = "{0B5E2C7A-1D43-4F8E-9C21-7A6B5C4D3E30}";
  static ServerModule module(
      {{ClassInfo{"qevTest.ModuleThing", G(clsid), kThingIid}, &module_factory}});
  module.RegisterLinked();
  EXPECT_EQ(kS_OK, module.CanUnloadNow());
  Object a = CreateObject("qevtest.modulething");
  EXPECT_EQ("module", MakerOf(a));
  Object b = CreateObject(clsid);
  EXPECT_EQ(2, module.live_objects());
  EXPECT_EQ(kS_FALSE, module.CanUnloadNow());
  Object kept = a;
  a.reset();
  EXPECT_EQ(2, module.live_objects());  // `kept` still holds the first
  kept.reset();
  b.reset();
  EXPECT_EQ(0, module.live_objects());
  EXPECT_EQ(kS_OK, module.CanUnloadNow());
}

TEST_F(LinkedClassTest, UnknownNamesRaise429NamingWhatWasAsked) {
  const Error progid = RaisedBy([] { CreateObject("qevTest.NoSuchClass"); });
  EXPECT_EQ(kErrCannotCreate, progid.number);
  EXPECT_THAT(progid.description, HasSubstr("ActiveX component can't create object"));
  EXPECT_THAT(progid.description, HasSubstr("qevTest.NoSuchClass"));

  const char* unknown = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
  const Error clsid = RaisedBy([&] { CreateObject(unknown); });
  EXPECT_EQ(kErrCannotCreate, clsid.number);
  EXPECT_THAT(clsid.description, HasSubstr(unknown));
  EXPECT_RAISES(kErrCannotCreate, CreateObjectByClsid(G(unknown)));

  for (const char* bad : {"{not-a-clsid}", "{01234567-89AB-CDEF-0123-456789ABCDEG}",
                          "{01234567-89AB-CDEF-0123-456789ABCDEF", "{}"}) {
    SCOPED_TRACE(bad);
    const Error e = RaisedBy([&] { CreateObject(bad); });
    EXPECT_EQ(kErrCannotCreate, e.number);
    EXPECT_THAT(e.description, HasSubstr(bad));
  }
  EXPECT_RAISES(kErrCannotCreate, CreateObject(""));
}

// --------------------------------------------------------------- registry

RegistryEntry Entry(std::string progid, const char* clsid, const char* iid, std::string library) {
  return RegistryEntry{ClassInfo{std::move(progid), G(clsid), G(iid)}, std::move(library)};
}

const char* const kClsidA = "{A0000000-0000-4000-8000-00000000000A}";
const char* const kClsidB = "{B0000000-0000-4000-8000-00000000000B}";
const char* const kClsidC = "{C0000000-0000-4000-8000-00000000000C}";
const char* const kIid = "{10000000-0000-4000-8000-000000000001}";

void ExpectSame(const RegistryEntry& want, const RegistryEntry& got) {
  EXPECT_EQ(want.info.progid, got.info.progid);
  EXPECT_EQ(want.info.clsid, got.info.clsid);
  EXPECT_EQ(want.info.iid, got.info.iid);
  EXPECT_EQ(want.library, got.library);
}

using RegistryTest = RegistryScope;

TEST_F(RegistryTest, DefaultFollowsTheEnvironment) {
  EXPECT_EQ(registry_path(), Registry::Default().path());
}

TEST_F(RegistryTest, MissingFileIsAnEmptyRegistry) {
  const Registry reg(registry_path());
  EXPECT_TRUE(reg.Load().empty());
  EXPECT_FALSE(reg.FindProgId("qevTest.A"));
  EXPECT_FALSE(reg.FindClsid(G(kClsidA)));
}

TEST_F(RegistryTest, AddLoadRoundTrip) {
  const RegistryEntry a = Entry("qevTest.A", kClsidA, kIid, "/opt/qev/lib a.so");
  const RegistryEntry b = Entry("qevTest.B", kClsidB, kIid, "/opt/qev/libb.so");
  Registry(registry_path()).Add({a, b});

  const Registry reg(registry_path());
  const std::vector<RegistryEntry> loaded = reg.Load();
  ASSERT_EQ(2u, loaded.size());
  ExpectSame(a, loaded[0]);
  ExpectSame(b, loaded[1]);
  const auto by_progid = reg.FindProgId("QEVTEST.b");
  ASSERT_TRUE(by_progid);
  ExpectSame(b, *by_progid);
  const auto by_clsid = reg.FindClsid(G("{a0000000-0000-4000-8000-00000000000a}"));
  ASSERT_TRUE(by_clsid);
  ExpectSame(a, *by_clsid);
  EXPECT_FALSE(reg.FindProgId("qevTest.C"));
}

TEST_F(RegistryTest, AddReplacesEntriesWithTheSameProgIdOrClsid) {
  const Registry reg(registry_path());
  reg.Add({Entry("qevTest.A", kClsidA, kIid, "/lib/a1.so"),
           Entry("qevTest.B", kClsidB, kIid, "/lib/b.so")});
  reg.Add({Entry("QEVTEST.a", kClsidC, kIid, "/lib/a2.so")});  // same ProgID, new CLSID
  std::vector<RegistryEntry> loaded = reg.Load();
  ASSERT_EQ(2u, loaded.size());
  EXPECT_EQ("/lib/a2.so", reg.FindProgId("qevTest.A")->library);
  EXPECT_FALSE(reg.FindClsid(G(kClsidA)));

  reg.Add({Entry("qevTest.NewB", kClsidB, kIid, "/lib/b2.so")});  // same CLSID, new ProgID
  loaded = reg.Load();
  ASSERT_EQ(2u, loaded.size());
  EXPECT_FALSE(reg.FindProgId("qevTest.B"));
  EXPECT_EQ("qevTest.NewB", reg.FindClsid(G(kClsidB))->info.progid);
}

TEST_F(RegistryTest, RemoveTakesOnlyTheGivenClasses) {
  const Registry reg(registry_path());
  reg.Add({Entry("qevTest.A", kClsidA, kIid, "/lib/x.so"),
           Entry("qevTest.B", kClsidB, kIid, "/lib/x.so"),
           Entry("qevTest.C", kClsidC, kIid, "/lib/y.so")});
  reg.Remove({G(kClsidA), G(kClsidC), G("{D0000000-0000-4000-8000-00000000000D}")});
  const std::vector<RegistryEntry> loaded = reg.Load();
  ASSERT_EQ(1u, loaded.size());
  EXPECT_EQ("qevTest.B", loaded[0].info.progid);
  reg.Remove({G(kClsidB)});
  EXPECT_TRUE(reg.Load().empty());
}

TEST_F(RegistryTest, CommentsAndBlankLinesAreSkipped) {
  std::filesystem::create_directories(std::filesystem::path(registry_path()).parent_path());
  std::ofstream(registry_path()) << "# classes\n\n"
                                 << "qevTest.A\t" << kClsidA << '\t' << kIid << "\t/lib/a.so\n"
                                 << "#qevTest.B\t" << kClsidB << '\t' << kIid << "\t/lib/b.so\n";
  const std::vector<RegistryEntry> loaded = Registry(registry_path()).Load();
  ASSERT_EQ(1u, loaded.size());
  EXPECT_EQ("/lib/a.so", loaded[0].library);
}

TEST_F(RegistryTest, MalformedLineIsAnError) {
  std::filesystem::create_directories(std::filesystem::path(registry_path()).parent_path());
  const std::string good = std::string("qevTest.A\t") + kClsidA + '\t' + kIid + "\t/lib/a.so\n";
  const std::string bad_lines[] = {
      "just some words\n",
      std::string("qevTest.B\t{nonsense}\t") + kIid + "\t/lib/b.so\n",
      std::string("qevTest.B\t") + kClsidB + "\t" + kIid + "\n",
      std::string("\t") + kClsidB + "\t" + kIid + "\t/lib/b.so\n",
      std::string("qevTest.B\t") + kClsidB + "\t" + kIid + "\t/lib/b.so\textra\n",
  };
  for (const std::string& bad : bad_lines) {
    SCOPED_TRACE(bad);
    const std::string content = "# header\n" + good + bad;
    std::ofstream(registry_path(), std::ios::trunc) << content;
    const Registry reg(registry_path());
    const Error e = RaisedBy([&] { reg.Load(); });
    EXPECT_EQ(kErrRegistry, e.number);
    EXPECT_THAT(e.description, HasSubstr("line 3"));
    EXPECT_THAT(e.description, HasSubstr(registry_path()));
    // A registry that cannot be read is not rewritten either.
    EXPECT_RAISES(kErrRegistry, reg.Add({Entry("qevTest.C", kClsidC, kIid, "/lib/c.so")}));
    EXPECT_EQ(content, ReadFile(registry_path()));
  }
}

TEST_F(RegistryTest, ConcurrentAddsKeepEveryEntry) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      const Registry reg(registry_path());
      for (int i = 0; i < kPerThread; ++i) {
        char clsid[40];
        std::snprintf(clsid, sizeof clsid, "{E0000000-0000-4000-8000-%012d}", t * 100 + i);
        reg.Add({RegistryEntry{
            ClassInfo{"qevTest.T" + std::to_string(t) + "_" + std::to_string(i), G(clsid), G(kIid)},
            "/lib/t.so"}});
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), Registry(registry_path()).Load().size());
}

// ------------------------------------------------ a component library

// The test library, loaded once for the process; the runtime loads the
// same file when it creates its classes.
void* ServerLibrary() {
  static void* handle = dlopen(QEV_TEST_SERVER_PATH, RTLD_NOW | RTLD_LOCAL);
  return handle;
}

template <typename Fn>
Fn EntryPoint(const char* name) {
  return reinterpret_cast<Fn>(dlsym(ServerLibrary(), name));
}

class ServerLibraryTest : public RegistryScope {
 protected:
  void SetUp() override {
    RegistryScope::SetUp();
    ASSERT_NE(nullptr, ServerLibrary()) << dlerror();
    register_ = EntryPoint<DllRegisterServerFn>("DllRegisterServer");
    unregister_ = EntryPoint<DllUnregisterServerFn>("DllUnregisterServer");
    get_class_object_ = EntryPoint<DllGetClassObjectFn>("DllGetClassObject");
    can_unload_now_ = EntryPoint<DllCanUnloadNowFn>("DllCanUnloadNow");
    ASSERT_NE(nullptr, register_);
    ASSERT_NE(nullptr, unregister_);
    ASSERT_NE(nullptr, get_class_object_);
    ASSERT_NE(nullptr, can_unload_now_);
  }

  DllRegisterServerFn register_ = nullptr;
  DllUnregisterServerFn unregister_ = nullptr;
  DllGetClassObjectFn get_class_object_ = nullptr;
  DllCanUnloadNowFn can_unload_now_ = nullptr;
};

TEST_F(ServerLibraryTest, ExportsOnlyTheEntryPoints) {
  EXPECT_EQ(nullptr, dlsym(ServerLibrary(), "qev_test_server_internal"));
}

TEST_F(ServerLibraryTest, RegisterCreateUnregister) {
  const Registry reg(registry_path());
  reg.Add({Entry("qevTest.Other", kClsidA, kIid, "/lib/other.so")});
  EXPECT_RAISES(kErrCannotCreate, CreateObject(ids::kCounterProgId));

  ASSERT_EQ(kS_OK, register_());
  ASSERT_EQ(kS_OK, register_());  // registering again adds nothing
  ASSERT_EQ(3u, reg.Load().size());
  const auto entry = reg.FindProgId("QEVTESTSERVER.COUNTER");
  ASSERT_TRUE(entry);
  EXPECT_EQ(std::filesystem::canonical(QEV_TEST_SERVER_PATH).string(), entry->library);
  EXPECT_EQ(G(ids::kCounterClsid), entry->info.clsid);
  EXPECT_EQ(G(ids::kCounterIid), entry->info.iid);
  ASSERT_TRUE(reg.FindClsid(G(ids::kEchoClsid)));

  EXPECT_EQ(kS_OK, can_unload_now_());
  Object counter = CreateObject("qevtestserver.counter");
  ASSERT_NE(nullptr, counter);
  EXPECT_EQ(kS_FALSE, can_unload_now_());
  Call(Variant(counter), "Increment");
  Call(Variant(counter), "increment");
  EXPECT_EQ(Variant(int32_t{2}), Get(Variant(counter), "Value"));

  Object by_clsid = CreateObject(ids::kCounterClsid);
  EXPECT_EQ(Variant(int32_t{0}), Get(Variant(by_clsid), "Value"));  // an object of its own
  Object echo = CreateObject(ids::kEchoProgId);
  EXPECT_EQ(Variant("hi"), Call(Variant(echo), "Echo", Variant("hi")));

  // An error raised inside the library's object carries its ProgID.
  const Error e = RaisedBy([&] { Call(Variant(counter), "Fail"); });
  EXPECT_EQ(kErrInvalidArgument, e.number);
  EXPECT_EQ(ids::kCounterProgId, e.source);

  Object kept = counter;
  counter.reset();
  by_clsid.reset();
  echo.reset();
  EXPECT_EQ(kS_FALSE, can_unload_now_());  // `kept` is still alive
  kept.reset();
  EXPECT_EQ(kS_OK, can_unload_now_());

  ASSERT_EQ(kS_OK, unregister_());
  const Error gone = RaisedBy([] { CreateObject(ids::kCounterProgId); });
  EXPECT_EQ(kErrCannotCreate, gone.number);
  EXPECT_THAT(gone.description, HasSubstr(ids::kCounterProgId));
  EXPECT_RAISES(kErrCannotCreate, CreateObject(ids::kCounterClsid));
  EXPECT_RAISES(kErrCannotCreate, CreateObject(ids::kEchoProgId));
  const std::vector<RegistryEntry> left = reg.Load();
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ("qevTest.Other", left[0].info.progid);
}

TEST_F(ServerLibraryTest, ClassObjectQueries) {
  const Guid counter = G(ids::kCounterClsid);
  void* out = &out;  // anything but null
  ASSERT_EQ(kS_OK, get_class_object_(&counter.value, &kIID_IClassFactory.value, &out));
  ASSERT_NE(nullptr, out);
  Object made = static_cast<ClassFactory*>(out)->CreateInstance();
  EXPECT_EQ(Variant(int32_t{0}), Get(Variant(made), "Value"));
  EXPECT_EQ(kS_FALSE, can_unload_now_());
  made.reset();
  EXPECT_EQ(kS_OK, can_unload_now_());

  out = &out;
  const Guid wrong_iid = G(ids::kCounterIid);  // the class's own interface is no factory
  EXPECT_EQ(kE_NOINTERFACE, get_class_object_(&counter.value, &wrong_iid.value, &out));
  EXPECT_EQ(nullptr, out);

  out = &out;
  const Guid unknown = G(kClsidA);
  EXPECT_EQ(kCLASS_E_CLASSNOTAVAILABLE,
            get_class_object_(&unknown.value, &kIID_IClassFactory.value, &out));
  EXPECT_EQ(nullptr, out);

  EXPECT_EQ(kE_POINTER, get_class_object_(&counter.value, &kIID_IClassFactory.value, nullptr));
}

TEST_F(ServerLibraryTest, RegistryEntryWhoseLibraryFailsRaises429) {
  const Registry reg(registry_path());
  reg.Add({Entry("qevTest.Ghost", kClsidB, kIid, dir_.File("missing.so")),
           // The library exists but does not serve this class.
           Entry("qevTest.Stranger", kClsidC, kIid,
                 std::filesystem::canonical(QEV_TEST_SERVER_PATH).string())});
  const Error ghost = RaisedBy([] { CreateObject("qevTest.Ghost"); });
  EXPECT_EQ(kErrCannotCreate, ghost.number);
  EXPECT_THAT(ghost.description, HasSubstr("qevTest.Ghost"));
  const Error stranger = RaisedBy([] { CreateObject("qevTest.Stranger"); });
  EXPECT_EQ(kErrCannotCreate, stranger.number);
  EXPECT_THAT(stranger.description, HasSubstr("qevTest.Stranger"));
  EXPECT_RAISES(kErrCannotCreate, CreateObject(kClsidC));
}

TEST_F(ServerLibraryTest, RegistrationFailureIsReportedNotThrown) {
  // A registry path below a plain file cannot be written.
  std::ofstream(dir_.File("plain")) << "x";
  setenv("QEV_REGISTRY", dir_.File("plain/classes.reg").c_str(), 1);
  EXPECT_EQ(kSELFREG_E_CLASS, register_());
  EXPECT_EQ(kSELFREG_E_CLASS, unregister_());
}

}  // namespace
}  // namespace qev
