// The command line of rptcalc:
//
//   rptcalc run CLASS --db DB [--source DB]... [--source-num N]
//                 [--workstation NAME] [--set NAME=VALUE]... [--desc LABEL=VALUE]...
//                 [--init | --no-calc] [--call MEMBER[=ARG,...]]...
//                 [--format table|csv|json] [--trace FILE]
//   rptcalc classes [--format table|csv|json]
//   rptcalc schema --db DB
//   rptcalc demo [--db PATH] [--scale N]
//   rptcalc register | unregister
#pragma once

#include <iosfwd>

namespace rptcalc {

// Parses the command line and runs the command; returns the exit status
// (status.h). `terminal` tells whether `err` is a terminal (progress lines
// are shown only there).
int RptcalcMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool terminal);

}  // namespace rptcalc
