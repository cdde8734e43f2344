#include "utility/server.h"

#include "utility/activex_lib.h"
#include "utility/class_ids.h"

namespace qev::utility {

namespace {

class ActiveXLibFactory : public ClassFactory {
 public:
  Object CreateInstance() override { return NewActiveXLib(); }
};

}  // namespace

ServerModule& UtilityModule() {
  // Never destroyed: objects handed out may outlive static destruction, and
  // their release still reaches the module's live-object count.
  static ServerModule* module = new ServerModule({ServerModule::Class{
      ClassInfo{kActiveXLibProgId, Guid::FromLiteral(kActiveXLibClsid),
                Guid::FromLiteral(kActiveXLibIid)},
      new ActiveXLibFactory}});
  return *module;
}

void RegisterLinkedClasses() { UtilityModule().RegisterLinked(); }

}  // namespace qev::utility
