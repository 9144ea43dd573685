// ami_host: try an IBIS-AMI transmitter model on a channel before trusting it
// in a simulator. Loads the model library, calls AMI_Init / AMI_Close as a
// statistical channel simulator does, and reports taps, main cursor and the
// worst-case and statistical eyes, with CSV files and SVG plots.
// Run with --help for the options.
#include <iostream>

#include "host/app/HostRun.h"

int main(int argc, char** argv) {
  return norvask::host::runHostCommand(argc, argv, std::cout, std::cerr);
}
