// Creation of objects by ProgID and CLSID: classes linked into the process
// and the class registry file. Component libraries loaded through their
// entry points: tests/utility/shared_library_test.cpp and
// tests/frame/library_test.cpp.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/server_module.h"
#include "tests/platform/runtime_expect.h"
#include "tests/support/temp_dir.h"

namespace qev {
namespace {

using ::qev::testing::ExpectRaised;
using ::qev::testing::ReadFile;
using ::qev::testing::TempDir;
using ::testing::HasSubstr;

Guid G(const char* text) { return Guid::FromLiteral(text); }

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
  // The binary layout of a class identifier, as DllGetClassObject takes it.
  EXPECT_EQ((std::vector<unsigned>{0x0B5E2C7Au, 0x1D43u, 0x4F8Eu, 0x9Cu, 0x01u}),
            (std::vector<unsigned>{g->value.data1, g->value.data2, g->value.data3, g->value.data4[0],
                                   g->value.data4[7]}));
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
  std::vector<Object> made = {CreateObjectByClsid(G(clsid))};
  for (const char* name : {"qevTest.LinkedThing", "QEVTEST.LINKEDTHING", clsid,
                           "{0b5e2c7a-1d43-4f8e-9c21-7a6b5c4d3e10}"})
    made.push_back(CreateObject(name));
  for (const Object& o : made) {
    ASSERT_NE(nullptr, o);
    EXPECT_EQ("linked", MakerOf(o));
  }
  EXPECT_EQ(5, linked_factory.created);
  EXPECT_NE(made[1].get(), made[2].get());  // a new object each time
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
  const Error progid = ExpectRaised(kErrCannotCreate, [] { CreateObject("qevTest.NoSuchClass"); },
                                    "ActiveX component can't create object");
  EXPECT_THAT(progid.description, HasSubstr("qevTest.NoSuchClass"));

  const char* unknown = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
  ExpectRaised(kErrCannotCreate, [&] { CreateObject(unknown); }, unknown);
  EXPECT_RAISES(kErrCannotCreate, CreateObjectByClsid(G(unknown)));

  for (const char* bad : {"{not-a-clsid}", "{01234567-89AB-CDEF-0123-456789ABCDEG}",
                          "{01234567-89AB-CDEF-0123-456789ABCDEF", "{}"}) {
    SCOPED_TRACE(bad);
    ExpectRaised(kErrCannotCreate, [&] { CreateObject(bad); }, bad);
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

TEST_F(RegistryTest, AddFindReplaceRemove) {
  EXPECT_EQ(registry_path(), Registry::Default().path());  // from the environment
  const Registry reg(registry_path());
  EXPECT_TRUE(reg.Load().empty());  // a missing file is an empty registry
  EXPECT_FALSE(reg.FindClsid(G(kClsidA)));
  const RegistryEntry a = Entry("qevTest.A", kClsidA, kIid, "/opt/qev/lib a.so");
  const RegistryEntry b = Entry("qevTest.B", kClsidB, kIid, "/opt/qev/libb.so");
  reg.Add({a, b});
  std::vector<RegistryEntry> loaded = Registry(registry_path()).Load();
  ASSERT_EQ(2u, loaded.size());
  ExpectSame(a, loaded[0]);
  ExpectSame(b, loaded[1]);
  ExpectSame(b, reg.FindProgId("QEVTEST.b").value());
  ExpectSame(a, reg.FindClsid(G("{a0000000-0000-4000-8000-00000000000a}")).value());
  EXPECT_FALSE(reg.FindProgId("qevTest.C"));

  // The same ProgID with a new CLSID, the same CLSID with a new ProgID:
  // each replaces the old entry.
  reg.Add({Entry("QEVTEST.a", kClsidC, kIid, "/lib/a2.so")});
  EXPECT_EQ(2u, reg.Load().size());
  EXPECT_EQ("/lib/a2.so", reg.FindProgId("qevTest.A")->library);
  EXPECT_FALSE(reg.FindClsid(G(kClsidA)));
  reg.Add({Entry("qevTest.NewB", kClsidB, kIid, "/lib/b2.so")});
  EXPECT_EQ(2u, reg.Load().size());
  EXPECT_FALSE(reg.FindProgId("qevTest.B"));
  EXPECT_EQ("qevTest.NewB", reg.FindClsid(G(kClsidB))->info.progid);

  // Remove takes only the given classes.
  reg.Remove({G(kClsidC), G("{D0000000-0000-4000-8000-00000000000D}")});
  loaded = reg.Load();
  ASSERT_EQ(1u, loaded.size());
  EXPECT_EQ("qevTest.NewB", loaded[0].info.progid);
  reg.Remove({G(kClsidB)});
  EXPECT_TRUE(reg.Load().empty());
}

TEST_F(RegistryTest, CommentsAndBlankLinesAreSkippedAndAMalformedLineIsAnError) {
  std::filesystem::create_directories(std::filesystem::path(registry_path()).parent_path());
  const std::string good = std::string("qevTest.A\t") + kClsidA + '\t' + kIid + "\t/lib/a.so\n";
  std::ofstream(registry_path()) << "# classes\n\n" << good << "#qevTest.B\t" << kClsidB << "\t/lib/b.so\n";
  const std::vector<RegistryEntry> loaded = Registry(registry_path()).Load();
  ASSERT_EQ(1u, loaded.size());
  EXPECT_EQ("/lib/a.so", loaded[0].library);
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
    const Error e = ExpectRaised(kErrRegistry, [&] { reg.Load(); }, "line 3");
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

}  // namespace
}  // namespace qev
