#include "platform/class_factory.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/ci_map.h"
#include "platform/error.h"
#include "platform/registry.h"

namespace qev {

ClassFactory::~ClassFactory() = default;

const Guid kIID_IClassFactory = Guid::FromLiteral("{00000001-0000-0000-C000-000000000046}");

namespace {

struct LinkedClass {
  ClassInfo info;
  ClassFactory* factory;
};

struct ClassTable {
  std::mutex mu;
  std::vector<LinkedClass> classes;
  std::map<std::string, void*> libraries;  // loaded libraries by path, never unloaded
};

ClassTable& Table() {
  static ClassTable* table = new ClassTable;  // lives as long as the process
  return *table;
}

[[noreturn]] void CannotCreate(std::string_view what, const std::string& why = {}) {
  std::string text = std::string(StandardDescription(kErrCannotCreate)) + ": " +
                     std::string(what);
  if (!why.empty()) text += " (" + why + ")";
  Raise(kErrCannotCreate, text, "qev.Runtime");
}

Object CreateFromLibrary(const RegistryEntry& entry, std::string_view asked) {
  ClassTable& table = Table();
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(table.mu);
    auto it = table.libraries.find(entry.library);
    if (it != table.libraries.end()) {
      handle = it->second;
    } else {
      handle = dlopen(entry.library.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) CannotCreate(asked, dlerror());
      table.libraries.emplace(entry.library, handle);
    }
  }
  auto get = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  if (get == nullptr) CannotCreate(asked, entry.library + " has no DllGetClassObject");
  void* pv = nullptr;
  const int32_t hr = get(&entry.info.clsid.value, &kIID_IClassFactory.value, &pv);
  if (hr != kS_OK || pv == nullptr)
    CannotCreate(asked, entry.library + " does not serve " + entry.info.clsid.ToString());
  return static_cast<ClassFactory*>(pv)->CreateInstance();
}

// The user's registry first, then the one installed with the runtime.
template <typename Key>
std::optional<RegistryEntry> FindRegistered(const Key& key) {
  auto find = [&](const Registry& r) {
    if constexpr (std::is_same_v<Key, Guid>) return r.FindClsid(key);
    else return r.FindProgId(key);
  };
  if (auto entry = find(Registry::Default())) return entry;
  if (auto installed = Registry::Installed()) return find(*installed);
  return std::nullopt;
}

}  // namespace

void RegisterLinkedClass(const ClassInfo& info, ClassFactory* factory) {
  ClassTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mu);
  std::erase_if(table.classes, [&](const LinkedClass& c) {
    return EqualsNoCase(c.info.progid, info.progid) || c.info.clsid == info.clsid;
  });
  table.classes.push_back(LinkedClass{info, factory});
}

Object CreateObjectByClsid(const Guid& clsid) {
  ClassFactory* factory = nullptr;
  {
    ClassTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    for (const auto& c : table.classes)
      if (c.info.clsid == clsid) factory = c.factory;
  }
  if (factory) return factory->CreateInstance();
  auto entry = FindRegistered(clsid);
  if (!entry) CannotCreate(clsid.ToString(), "class not registered");
  return CreateFromLibrary(*entry, clsid.ToString());
}

Object CreateObject(std::string_view name) {
  if (!name.empty() && name.front() == '{') {
    auto clsid = Guid::Parse(name);
    if (!clsid) CannotCreate(name, "malformed class identifier");
    return CreateObjectByClsid(*clsid);
  }
  ClassFactory* factory = nullptr;
  {
    ClassTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mu);
    for (const auto& c : table.classes)
      if (EqualsNoCase(c.info.progid, name)) factory = c.factory;
  }
  if (factory) return factory->CreateInstance();
  auto entry = FindRegistered(name);
  if (!entry) CannotCreate(name, "class not registered");
  return CreateFromLibrary(*entry, name);
}

}  // namespace qev
