// rptcalc: the command-line host of the report library (see cli.h).
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/rptcalc/cli.h"

int main(int argc, char** argv) {
  int status = rptcalc::RptcalcMain(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
  // Output that did not reach its file is a failed command, whatever the
  // command itself thought.
  errno = 0;
  std::cout.flush();
  if ((!std::cout || std::fflush(stdout) != 0) && status == 0) {
    const int e = errno;
    std::cerr << "rptcalc: cannot write to the standard output"
              << (e ? std::string(": ") + std::strerror(e) : std::string()) << "\n";
    status = 1;
  }
  return status;
}
