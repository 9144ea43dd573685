// ami_host: try an IBIS-AMI transmitter model on a channel before trusting it
// in a simulator. Loads the model library, calls AMI_Init / AMI_Close as a
// statistical channel simulator does, and reports taps, main cursor and the
// worst-case and statistical eyes, with CSV files and SVG plots.
// Run with --help for the options.
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "host/app/HostRun.h"

namespace {

// Progress lines are for a person watching, not for a file or a pipe.
bool standardErrorIsATerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  return norvask::host::runHostCommand(argc, argv, std::cout, std::cerr,
                                       standardErrorIsATerminal());
}
