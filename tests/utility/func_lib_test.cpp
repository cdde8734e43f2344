// qevRaisError and the error list of ActiveX_Lib (ValueSplitStr: the value lists of every report suite).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/platform/runtime_expect.h"
#include "tests/support/late_bound.h"
#include "utility/activex_lib.h"
#include "utility/error_log.h"

namespace qev::utility {
namespace {

using testing::ErrorNumberOf;
using testing::Lines;

// The seven by-reference arguments of one qevRaisError call.
struct Report {
  Variant class_name, proc_name, description, number, source, extra1, extra2;
  Variant Send(const Variant& func_lib) {
    return Call(func_lib, "qevRaisError", ByRef{class_name}, ByRef{proc_name},
                ByRef{description}, ByRef{number}, ByRef{source}, ByRef{extra1},
                ByRef{extra2});
  }
};

Report CashierReport() {
  return Report{Variant("Rpt_Tol_Rbb"),   Variant("CalcuSfCount"),
                Variant("no such table: rpt_rbbd"), Variant(int32_t{32002}),
                Variant("qev.Host"),      Variant(""), Variant("")};
}

TEST(ActiveXLibFactories, EachCallMakesANewObjectOfItsKind) {
  const Variant activex = Variant(NewActiveXLib());
  struct Kind {
    const char* factory;
    const char* interface_name;
  };
  for (const Kind& k : {Kind{"Create_Func_Lib", "_Func_Lib"},
                        Kind{"Create_Func_Array", "_Func_Array"},
                        Kind{"Create_Good_Info_Class", "_Good_Info_Class"}}) {
    const Variant a = Call(activex, k.factory);
    const Variant b = Call(activex, k.factory);
    ASSERT_TRUE(a.IsObject() && a.object()) << k.factory;
    ASSERT_TRUE(b.IsObject() && b.object()) << k.factory;
    EXPECT_NE(a.object(), b.object()) << k.factory;
    EXPECT_EQ(a.object()->type_info().name(), k.interface_name);
  }
  EXPECT_EQ(ErrorNumberOf([&] { Call(activex, "Create_Func_Lib", Variant(1)); }), kErrArgCount);
  EXPECT_EQ(ErrorNumberOf([&] { Call(activex, "Create_Func_Libs"); }), kErrNoMember);
}

TEST(QevRaisError, WritesOneLineToStandardErrorAndAppendsToTheList) {
  const Variant activex = Variant(NewActiveXLib());
  const Variant lib = Call(activex, "Create_Func_Lib");
  Report report = CashierReport();

  ::testing::internal::CaptureStderr();
  const Variant result = report.Send(lib);
  const std::string err = ::testing::internal::GetCapturedStderr();

  EXPECT_TRUE(result.IsEmpty());
  const std::string text =
      "Error 32002 in Rpt_Tol_Rbb.CalcuSfCount (source qev.Host): no such table: rpt_rbbd";
  EXPECT_EQ(err, "qevActiveXLib: " + text + "\n");
  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{1}));
  EXPECT_EQ(Call(activex, "ErrorText", Variant(int32_t{0})), Variant(text));
  // The caller's variables are not changed.
  EXPECT_EQ(report.description, Variant("no such table: rpt_rbbd"));
  EXPECT_EQ(report.number, Variant(int32_t{32002}));
  // A host that prints the list itself turns the line off; the list still grows.
  EXPECT_EQ(Get(activex, "EchoErrors"), Variant(true));
  Let(activex, "EchoErrors", Variant(false));
  ::testing::internal::CaptureStderr();
  report.Send(lib);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{2}));
}

TEST(QevRaisError, AwkwardArgumentsAreReportedNotRaised) {
  const Variant activex = Variant(NewActiveXLib());
  const Variant lib = Call(activex, "Create_Func_Lib");

  Report multiline = CashierReport();
  multiline.description = Variant("first line\r\nsecond\tline");
  multiline.number = Variant(int16_t{91});  // a 16-bit number converts
  multiline.extra1 = Variant("phase 2");
  Report null_source = CashierReport();
  null_source.source = Variant::Null();
  Report object_source = CashierReport();
  object_source.source = Variant(NewActiveXLib());

  ::testing::internal::CaptureStderr();
  EXPECT_NO_THROW(multiline.Send(lib));
  EXPECT_NO_THROW(null_source.Send(lib));
  EXPECT_NO_THROW(object_source.Send(lib));
  const std::vector<std::string> lines = Lines(::testing::internal::GetCapturedStderr());

  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "qevActiveXLib: Error 91 in Rpt_Tol_Rbb.CalcuSfCount (source qev.Host): "
            "first line  second line [phase 2]");
  EXPECT_NE(lines[1].find("(source ): no such table"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("(source (object)): no such table"), std::string::npos) << lines[2];
  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{3}));
}

TEST(ErrorList, SharedByTheFunctionLibrariesOfOneActiveXLibOnly) {
  const Variant activex = Variant(NewActiveXLib());
  const Variant other = Variant(NewActiveXLib());
  Report report = CashierReport();
  ::testing::internal::CaptureStderr();
  {
    // Each report through a fresh function library, released at once, as
    // the components do.
    report.Send(Call(activex, "Create_Func_Lib"));
    report.proc_name = Variant("CalcuSfAmt");
    report.Send(Call(activex, "Create_Func_Lib"));
  }
  ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{2}));
  EXPECT_EQ(Get(other, "ErrorCount"), Variant(int32_t{0}));
  EXPECT_NE(Call(activex, "ErrorText", Variant(int32_t{0})).string().find("CalcuSfCount"),
            std::string::npos);
  EXPECT_NE(Call(activex, "ErrorText", Variant(int32_t{1})).string().find("CalcuSfAmt"),
            std::string::npos);

  // Past the end of the list: the error is ActiveX_Lib's own.
  const testing::CaughtError past = testing::ErrorOf([&] { Call(activex, "ErrorText", Variant(int32_t{2})); });
  EXPECT_EQ(past.number, kErrSubscript);
  EXPECT_EQ(past.source, "qevActiveXLib.ActiveX_Lib");
  EXPECT_EQ(ErrorNumberOf([&] { Call(activex, "ErrorText", Variant(int32_t{-1})); }), kErrSubscript);
  EXPECT_EQ(ErrorNumberOf([&] { Let(activex, "ErrorCount", Variant(int32_t{0})); }), kErrNoMember);

  Call(activex, "ClearErrors");
  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{0}));
  EXPECT_EQ(ErrorNumberOf([&] { Call(activex, "ErrorText", Variant(int32_t{0})); }), kErrSubscript);
}

TEST(ErrorList, ReportsFromSeveralThreadsAreAllKeptOnWholeLines) {
  const Variant activex = Variant(NewActiveXLib());
  constexpr int kThreads = 4;
  constexpr int kReportsEach = 50;
  ::testing::internal::CaptureStderr();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&activex, t] {
      for (int i = 0; i < kReportsEach; ++i) {
        Report report = CashierReport();
        report.proc_name = Variant("Proc" + std::to_string(t) + "_" + std::to_string(i));
        report.Send(Call(activex, "Create_Func_Lib"));
      }
    });
  }
  for (auto& th : threads) th.join();
  const std::vector<std::string> lines = Lines(::testing::internal::GetCapturedStderr());

  EXPECT_EQ(Get(activex, "ErrorCount"), Variant(int32_t{kThreads * kReportsEach}));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kReportsEach));
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("qevActiveXLib: Error 32002 in Rpt_Tol_Rbb.Proc", 0), 0u) << line;
    EXPECT_TRUE(line.ends_with("no such table: rpt_rbbd")) << line;
  }
}

TEST(ErrorList, KeepsTheMostRecentErrorsOnly) {
  ErrorLog log;
  for (int i = 0; i < static_cast<int>(ErrorLog::kCapacity) + 5; ++i) {
    ReportedError e;
    e.number = i;
    log.Append(e);
  }
  EXPECT_EQ(log.size(), ErrorLog::kCapacity);
  EXPECT_EQ(log.dropped(), 5u);
  EXPECT_EQ(log.At(0)->number, 5);
  EXPECT_EQ(log.At(ErrorLog::kCapacity - 1)->number,
            static_cast<int32_t>(ErrorLog::kCapacity) + 4);
  EXPECT_FALSE(log.At(ErrorLog::kCapacity).has_value());
}

}  // namespace
}  // namespace qev::utility
