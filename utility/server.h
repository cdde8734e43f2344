// The utility library as a component server: its class table entry for
// ActiveX_Lib, shared by the two ways the library reaches a process.
//
// - Linked in (target qev_utility): the program calls
//   RegisterLinkedClasses() once, after which CreateObject finds
//   "qevActiveXLib.ActiveX_Lib" (or its CLSID) without any registry entry.
// - As the shared library libqevActiveXLib.so: its DllRegisterServer writes
//   the class into the class registry, and other processes create it by
//   ProgID or CLSID through DllGetClassObject.
#pragma once

#include "platform/server_module.h"

namespace qev::utility {

// The module serving ActiveX_Lib; lives as long as the process.
ServerModule& UtilityModule();

// Adds ActiveX_Lib to the in-process class table. Safe to call more than
// once.
void RegisterLinkedClasses();

}  // namespace qev::utility
