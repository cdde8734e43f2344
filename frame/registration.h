// Registration of the report classes: which C++ class serves each entry of
// the catalogue, the library's server module (its four entry points), and
// adding the classes to a program that links the library in.
#pragma once

#include <string_view>

#include "frame/catalogue.h"
#include "platform/server_module.h"

namespace qev::frame {

// Makes a new component of one class.
using ReportMaker = Object (*)(const ClassSpec& spec);

// The maker of a class; classes whose calculation is not built yet get a
// component that raises "not implemented" after the common preamble.
ReportMaker MakerOf(std::string_view class_name);

// The server module of qevRptCalLib: one factory per catalogue class.
ServerModule& RptCalModule();

// Adds the 22 classes to the in-process class table.
void RegisterLinkedClasses();

}  // namespace qev::frame
