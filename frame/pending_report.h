// The component of a class whose calculation is not built yet: it holds and
// returns every property of the catalogue, and its calculation runs the
// common preamble (every class still pending has it) and then fails with a
// "not implemented" error naming the class.
#pragma once

#include "frame/catalogue.h"

namespace qev::frame {

Object MakePendingReport(const ClassSpec& spec);

}  // namespace qev::frame
