// Class factories and object creation by ProgID or CLSID.
//
// A class is known to the process in one of two ways: linked into it (its
// factory added to the in-process class table with RegisterLinkedClass) or
// registered in the class registry by a shared library's DllRegisterServer.
// CreateObject looks in the process first and in the registry otherwise,
// loading the registered library and asking its DllGetClassObject for the
// factory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/guid.h"
#include "platform/variant.h"

namespace qev {

class ClassFactory {
 public:
  virtual ~ClassFactory();
  // A new object of the class; raises on failure.
  virtual Object CreateInstance() = 0;
};

// What identifies a creatable class.
struct ClassInfo {
  std::string progid;  // e.g. "qevRptCalLib.Rpt_Tol_Good"
  Guid clsid;
  Guid iid;            // its default interface
};

// Adds a class linked into this process. `factory` must outlive every
// creation; a later registration of the same ProgID or CLSID replaces it.
void RegisterLinkedClass(const ClassInfo& info, ClassFactory* factory);

// Creates an object by ProgID (matched without regard to case) or, when the
// text is a CLSID in braces, by CLSID. Unknown names raise error 429.
Object CreateObject(std::string_view progid_or_clsid);
Object CreateObjectByClsid(const Guid& clsid);

// Result codes of the library entry points.
enum : int32_t {
  kS_OK = 0,
  kS_FALSE = 1,
  kE_NOINTERFACE = static_cast<int32_t>(0x80004002u),
  kE_POINTER = static_cast<int32_t>(0x80004003u),
  kE_FAIL = static_cast<int32_t>(0x80004005u),
  kCLASS_E_CLASSNOTAVAILABLE = static_cast<int32_t>(0x80040111u),
  kSELFREG_E_CLASS = static_cast<int32_t>(0x80040201u),
};

// The interface id that DllGetClassObject answers with a ClassFactory*.
extern const Guid kIID_IClassFactory;

// The library entry points, as found with dlsym.
using DllGetClassObjectFn = int32_t (*)(const qev_guid*, const qev_guid*, void**);
using DllRegisterServerFn = int32_t (*)();
using DllUnregisterServerFn = int32_t (*)();
using DllCanUnloadNowFn = int32_t (*)();

}  // namespace qev
