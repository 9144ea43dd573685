// What is on record of each of the 16 measured driver step responses: the
// final value, the two rows kept exactly, selected rows to four digits, the
// depth of the pre-edge dip and the rows where the response first reaches
// 10/50/90/99 % of its final value. Everything the generated table must meet
// is stated here; how a curve is drawn through it lives elsewhere.
#ifndef NORVASK_TOOLS_STEPRECORDS_H_
#define NORVASK_TOOLS_STEPRECORDS_H_

#include <array>
#include <vector>

namespace norvask::tools {

// One row per picosecond; column 0 is time, columns 1 to 16 the responses.
inline constexpr int kRows = 2240;
inline constexpr int kColumns = 17;
inline constexpr int kSelectedCount = 9;
inline constexpr std::array<int, kSelectedCount> kSelectedRows = {450, 500, 550,  600, 650,
                                                                  700, 800, 1500, 2000};
inline constexpr std::array<double, 4> kCrossingFractions = {0.10, 0.50, 0.90, 0.99};
// The output stays in a narrow band around zero up to this row.
inline constexpr int kQuietUntilRow = 460;
// The instrument's records carry ten significant digits; so does the table.
// This also keeps the last bits of log, exp and pow, which libraries may
// round differently, out of the committed text.
inline constexpr int kRecordedDigits = 10;

struct ColumnRecord {
  const char* final_value;
  const char* row1;
  const char* row1000;
  std::array<const char*, kSelectedCount> selected;
  const char* dip_depth;
  int dip_bottom_row;  // our choice: where the feedthrough dip bottoms out
  std::array<int, 4> crossing_rows;
};

// REQUIRES: 1 <= column < kColumns.
const ColumnRecord& recordOfColumn(int column);

// The first row whose sample is at or above `level`, kRows if none is: the
// crossing row a record states for each of kCrossingFractions.
int firstRowAtOrAbove(const std::vector<double>& samples, double level);

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_STEPRECORDS_H_
