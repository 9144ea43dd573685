// Writes the shipped example channel, host/examples/lossy_lane.s4p, from its
// analytic description (tools/ExampleLane.h):
//   generate_example_channel host/examples/lossy_lane.s4p
#include <fstream>
#include <iostream>

#include "tools/ExampleLane.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: generate_example_channel OUTPUT.s4p\n";
    return 2;
  }
  std::ofstream out(argv[1]);
  out << norvask::tools::exampleLaneTouchstone();
  if (!out) {
    std::cerr << "generate_example_channel: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
