// What the three medical-insurance daily sheets share: all of it but the
// view they read and the class name they give the error reporter, which
// each class's own unit states when it makes its component.
//
// A sheet sums the twelve insurance amounts of its view over the records
// that CondStr selects in QueryDb1 (SourceNum, QueryDb2 and QueryDb3 are
// accepted and ignored) and writes them, with the header string of RptDesc
// and the total hjamt = bcbxf0 + locaxj, into the workstation's one row of
// rpt_Yb_rbb. The three write the same table with the same key: the last
// one calculated holds the workstation's row. CalcuRpt, CalcuValue and
// ChangeValue trap their errors and report them (frame/error_trap.h);
// RptInit traps nothing.
#pragma once

#include <string>

#include "frame/catalogue.h"

namespace qev::frame {

// A component of the insurance sheet class `spec` that reads `view` and
// reports its errors under `class_name`.
Object MakeInsuranceSheet(const ClassSpec& spec, std::string view, std::string class_name);

}  // namespace qev::frame
