// Every fact a generated column has to meet before the table is written: the
// recorded rows read back as recorded, the crossing rows hold, the output is
// quiet before the edge, dips as deep as recorded and then only rises, and
// its slope has no corners.
#ifndef NORVASK_TOOLS_STEPCOLUMNCHECKS_H_
#define NORVASK_TOOLS_STEPCOLUMNCHECKS_H_

#include <vector>

namespace norvask::tools {

// REQUIRES: 1 <= column < kColumns, `samples` holds kRows values.
// Throws std::runtime_error naming the column and the first fact it breaks.
void checkStepColumn(int column, const std::vector<double>& samples);

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_STEPCOLUMNCHECKS_H_
