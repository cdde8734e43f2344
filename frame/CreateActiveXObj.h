// The one utility-library object of the loaded library.
#pragma once

#include "platform/variant.h"

namespace qev::frame {

// The object created by the ProgID "qevActiveXLib.ActiveX_Lib" on first use
// and then kept, shared by every component, until the library is unloaded.
// A failed creation raises and is tried again on the next call.
Variant GetActiveXObj();

}  // namespace qev::frame
