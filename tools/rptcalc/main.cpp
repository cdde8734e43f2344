// rptcalc: the command-line host of the report library (see cli.h).
#include <unistd.h>

#include <iostream>

#include "tools/rptcalc/cli.h"

int main(int argc, char** argv) {
  return rptcalc::RptcalcMain(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
