#include "platform/server_module.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"
#include "platform/registry.h"

namespace qev {

// Wraps a class's factory so that every object it makes counts as live
// until its last reference goes.
class ServerModule::CountingFactory : public ClassFactory {
 public:
  CountingFactory(ClassFactory* inner, std::atomic<long>* live) : inner_(inner), live_(live) {}
  Object CreateInstance() override {
    Object object = inner_->CreateInstance();
    if (!object) return object;
    live_->fetch_add(1);
    Dispatch* raw = object.get();
    std::atomic<long>* live = live_;
    return Object(raw, [keep = std::move(object), live](Dispatch*) mutable {
      keep.reset();
      live->fetch_sub(1);
    });
  }

 private:
  ClassFactory* inner_;
  std::atomic<long>* live_;
};

ServerModule::ServerModule(std::vector<Class> classes) : classes_(std::move(classes)) {
  for (auto& c : classes_) {
    counting_.push_back(std::make_unique<CountingFactory>(c.factory, &live_objects_));
  }
}

ServerModule::~ServerModule() = default;

void ServerModule::RegisterLinked() {
  for (size_t i = 0; i < classes_.size(); ++i)
    RegisterLinkedClass(classes_[i].info, counting_[i].get());
}

int32_t ServerModule::RegisterServer(const void* self) {
  Dl_info dl{};
  if (dladdr(self, &dl) == 0 || dl.dli_fname == nullptr) return kSELFREG_E_CLASS;
  char* real = realpath(dl.dli_fname, nullptr);
  std::string library = real ? real : dl.dli_fname;
  std::free(real);
  std::vector<RegistryEntry> entries;
  for (const auto& c : classes_) entries.push_back(RegistryEntry{c.info, library});
  try {
    Registry::Default().Add(entries);
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "DllRegisterServer: %s\n", e.error().ToString().c_str());
    return kSELFREG_E_CLASS;
  }
  return kS_OK;
}

int32_t ServerModule::UnregisterServer() {
  std::vector<Guid> clsids;
  for (const auto& c : classes_) clsids.push_back(c.info.clsid);
  try {
    Registry::Default().Remove(clsids);
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "DllUnregisterServer: %s\n", e.error().ToString().c_str());
    return kSELFREG_E_CLASS;
  }
  return kS_OK;
}

int32_t ServerModule::GetClassObject(const qev_guid* clsid, const qev_guid* iid, void** out) {
  if (out == nullptr) return kE_POINTER;
  *out = nullptr;
  if (clsid == nullptr || iid == nullptr) return kE_POINTER;
  Guid wanted{*clsid};
  for (size_t i = 0; i < classes_.size(); ++i) {
    if (classes_[i].info.clsid == wanted) {
      if (!(Guid{*iid} == kIID_IClassFactory)) return kE_NOINTERFACE;
      *out = static_cast<ClassFactory*>(counting_[i].get());
      return kS_OK;
    }
  }
  return kCLASS_E_CLASSNOTAVAILABLE;
}

int32_t ServerModule::CanUnloadNow() const { return live_objects_.load() == 0 ? kS_OK : kS_FALSE; }

}  // namespace qev
