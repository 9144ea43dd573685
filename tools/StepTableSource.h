// The C++ source of data/StepResponseTable.cpp: one line per row, the time in
// picoseconds as the instrument recorded it, then the 16 responses, every
// value as a double literal that reads back exactly.
#ifndef NORVASK_TOOLS_STEPTABLESOURCE_H_
#define NORVASK_TOOLS_STEPTABLESOURCE_H_

#include <string>
#include <vector>

namespace norvask::tools {

// REQUIRES: columns[k] holds kRows samples for 1 <= k < kColumns, each with at
// most kRecordedDigits significant digits; columns[0] is not read (the time
// column is written from the row number).
std::string stepTableSource(const std::vector<std::vector<double>>& columns);

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_STEPTABLESOURCE_H_
