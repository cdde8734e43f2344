// What an in-process component server needs to answer its four entry
// points: the classes it serves, a count of its live objects, and its own
// path for registration.
//
// A library defines one ServerModule and forwards its exported
// DllRegisterServer, DllUnregisterServer, DllGetClassObject and
// DllCanUnloadNow to it (see QEV_EXPORT_SERVER_ENTRY_POINTS). The same
// module can also add its classes to the in-process class table when the
// library's code is linked into a program.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/class_factory.h"

namespace qev {

class ServerModule {
 public:
  struct Class {
    ClassInfo info;
    ClassFactory* factory;  // owned by the caller, lives as long as the module
  };

  explicit ServerModule(std::vector<Class> classes);
  ~ServerModule();

  const std::vector<Class>& classes() const { return classes_; }
  long live_objects() const { return live_objects_.load(); }

  // Adds every class to the in-process class table.
  void RegisterLinked();

  // Entry points. `self` is any address inside the library, used to find
  // the library's file for the registry.
  int32_t RegisterServer(const void* self);
  int32_t UnregisterServer();
  int32_t GetClassObject(const qev_guid* clsid, const qev_guid* iid, void** out);
  int32_t CanUnloadNow() const;

 private:
  class CountingFactory;
  std::vector<Class> classes_;
  std::vector<std::unique_ptr<CountingFactory>> counting_;
  std::atomic<long> live_objects_{0};
};

}  // namespace qev

// Defines the four exported entry points of a shared library, forwarding to
// `module_expr` (an expression yielding a qev::ServerModule&).
#define QEV_EXPORT_SERVER_ENTRY_POINTS(module_expr)                                        \
  extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer() {          \
    return (module_expr).RegisterServer(reinterpret_cast<const void*>(&DllRegisterServer)); \
  }                                                                                        \
  extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer() {        \
    return (module_expr).UnregisterServer();                                               \
  }                                                                                        \
  extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(             \
      const qev_guid* clsid, const qev_guid* iid, void** out) {                            \
    return (module_expr).GetClassObject(clsid, iid, out);                                  \
  }                                                                                        \
  extern "C" __attribute__((visibility("default"))) int32_t DllCanUnloadNow() {            \
    return (module_expr).CanUnloadNow();                                                   \
  }
