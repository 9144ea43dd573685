// Writes data/StepResponseTable.cpp, the 16 driver step responses the library
// carries, from a small set of anchor points per column. What is on record of
// each measured response (final value, the two exact rows, selected rows to
// four digits, the dip and the 10/50/90/99 % crossing rows) is kept in
// StepRecords, StepColumnFit draws a shape-preserving curve through it, and
// StepTableSource writes the result, so the table is reproducible byte for
// byte from a few hundred numbers.
//
// Usage: generate_step_table [output.cpp]   (standard output without argument)
//
// Every fact the table has to meet is checked (StepColumnChecks) before
// anything is written; a violation stops the program with a message and a
// nonzero exit status.
#include <cstddef>
#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/StepColumnChecks.h"
#include "tools/StepColumnFit.h"
#include "tools/StepRecords.h"
#include "tools/StepTableSource.h"

namespace norvask::tools {
namespace {

std::vector<std::vector<double>> checkedColumns() {
  std::vector<std::vector<double>> columns(kColumns);
  for (int k = 1; k < kColumns; ++k) {
    columns[static_cast<size_t>(k)] = fitStepColumn(k);
    checkStepColumn(k, columns[static_cast<size_t>(k)]);
  }
  return columns;
}

void writeFile(const char* path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file) {
    throw std::runtime_error(std::string("cannot write ") + path);
  }
}

int generate(int argc, char** argv) {
  if (argc > 2) {
    throw std::runtime_error("usage: generate_step_table [output.cpp]");
  }
  const std::string source = stepTableSource(checkedColumns());
  if (argc == 1) {
    std::cout << source;
  } else {
    writeFile(argv[1], source);
  }
  return 0;
}

}  // namespace
}  // namespace norvask::tools

int main(int argc, char** argv) {
  try {
    return norvask::tools::generate(argc, argv);
  } catch (const std::exception& failure) {
    std::cerr << "generate_step_table: " << failure.what() << "\n";
    return 1;
  }
}
