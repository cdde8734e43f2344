#include "frame/CreateActiveXObj.h"

#include <mutex>

#include "platform/class_factory.h"

namespace qev::frame {

namespace {
std::mutex g_mu;
Object* g_ActiveXLibObj = nullptr;  // never released while the library is loaded
}  // namespace

Variant GetActiveXObj() {
  std::lock_guard<std::mutex> lock(g_mu);
  if (g_ActiveXLibObj == nullptr) {
    Object created = CreateObject("qevActiveXLib.ActiveX_Lib");
    g_ActiveXLibObj = new Object(std::move(created));
  }
  return Variant(*g_ActiveXLibObj);
}

}  // namespace qev::frame
