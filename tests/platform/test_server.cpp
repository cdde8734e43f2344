// A component library built only for the tests of class creation: two
// classes served through the four library entry points, so that
// registration, creation through dlopen and the unload query can be tested
// against a real shared library.

#include <cstdint>
#include <memory>

#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/server_module.h"
#include "tests/platform/test_server_ids.h"

namespace {

using namespace qev;
namespace ids = qev::test_server;

// Value (32-bit, let/get), Increment(), Fail().
class Counter : public Dispatch {
 public:
  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Counter", Guid::FromLiteral(ids::kCounterIid), ids::kCounterProgId,
                               {Property("Value", VarType::kInt32, kInvokeGet | kInvokeLet),
                                Method("Increment", {}), Method("Fail", {})});
    return info;
  }
  Variant Invoke(const MemberInfo& m, InvokeKind kind, ArgList& args) override {
    switch (m.id) {
      case 0:
        if (kind == kInvokeLet) value_ = args[0].ToInt32();
        return kind == kInvokeLet ? Variant() : Variant(value_);
      case 1:
        ++value_;
        return Variant();
      default:
        Raise(kErrInvalidArgument, "counter refused");
    }
  }

 private:
  int32_t value_ = 0;
};

// Echo(X): returns its argument unchanged.
class Echo : public Dispatch {
 public:
  const TypeInfo& type_info() const override {
    static const TypeInfo info("_Echo", Guid::FromLiteral(ids::kEchoIid), ids::kEchoProgId,
                               {Function("Echo", {Param("X", VarType::kEmpty)}, VarType::kEmpty)});
    return info;
  }
  Variant Invoke(const MemberInfo&, InvokeKind, ArgList& args) override { return args[0]; }
};

template <typename T>
class Factory : public ClassFactory {
 public:
  Object CreateInstance() override { return std::make_shared<T>(); }
};

Factory<Counter> counter_factory;
Factory<Echo> echo_factory;

ServerModule& Module() {
  static ServerModule module({
      {ClassInfo{ids::kCounterProgId, Guid::FromLiteral(ids::kCounterClsid),
                 Guid::FromLiteral(ids::kCounterIid)},
       &counter_factory},
      {ClassInfo{ids::kEchoProgId, Guid::FromLiteral(ids::kEchoClsid),
                 Guid::FromLiteral(ids::kEchoIid)},
       &echo_factory},
  });
  return module;
}

}  // namespace

// Visible by its attribute but not listed in the version script: the tests
// check that it stays inside the library.
extern "C" __attribute__((visibility("default"))) int qev_test_server_internal() { return 1; }

QEV_EXPORT_SERVER_ENTRY_POINTS(Module())
