// Errors that report components trapped and handed to the utility
// library's error reporter (qevRaisError) instead of raising them. They are
// kept on the process's one utility-library object, the one the
// components share (frame::GetActiveXObj), and this is how rptcalc learns
// that a calculation that returned normally went wrong on the way.
#pragma once

#include <string>
#include <vector>

namespace rptcalc {

// Forgets the errors reported so far (before a calculation starts), and
// stops the library writing each one to standard error as it comes: they
// are printed from ReportedErrors once the calculation returns.
void ClearReportedErrors();

// The errors reported since the last ClearReportedErrors, oldest first,
// each as one line of text.
std::vector<std::string> ReportedErrors();

// The exit status of a calculation that returned: kExitReportedErrors when
// errors were reported on the way, otherwise kExitDone.
int StatusAfterCalculation(const std::vector<std::string>& reported);

}  // namespace rptcalc
