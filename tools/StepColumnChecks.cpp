#include "tools/StepColumnChecks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "tools/RecordDigits.h"
#include "tools/StepRecords.h"

namespace norvask::tools {
namespace {

constexpr double kQuietBand = 0.00025;
constexpr double kMaxSlopeChangeShare = 0.05;

void checkRecordedRows(const std::string& name, const ColumnRecord& record,
                       const std::vector<double>& v) {
  if (v[0] != 0.0 || v[1] != parseDecimal(record.row1) || v[1000] != parseDecimal(record.row1000) ||
      v[kRows - 1] != parseDecimal(record.final_value)) {
    throw std::runtime_error(name + "exact rows differ");
  }
  for (int k = 0; k < kSelectedCount; ++k) {
    const double value = v[static_cast<size_t>(kSelectedRows[k])];
    if (roundedText(value, 4) != record.selected[k]) {
      throw std::runtime_error(name + "row " + std::to_string(kSelectedRows[k]) + " reads " +
                               roundedText(value, 6));
    }
  }
}

void checkCrossings(const std::string& name, const ColumnRecord& record,
                    const std::vector<double>& v) {
  for (size_t k = 0; k < kCrossingFractions.size(); ++k) {
    const int row = firstRowAtOrAbove(v, kCrossingFractions[k] * parseDecimal(record.final_value));
    if (row != record.crossing_rows[k]) {
      throw std::runtime_error(name + "crossing at " + std::to_string(row));
    }
  }
}

void checkQuietBandAndDip(const std::string& name, const ColumnRecord& record,
                          const std::vector<double>& v) {
  for (int i = 0; i <= kQuietUntilRow; ++i) {
    if (std::fabs(v[static_cast<size_t>(i)]) > kQuietBand) {
      throw std::runtime_error(name + "pre-edge row " + std::to_string(i));
    }
  }
  const auto bottom = std::min_element(v.begin(), v.end());
  const long bottom_row = bottom - v.begin();
  if (roundedText(*bottom, 2) != record.dip_depth || bottom_row < 470 || bottom_row > 505) {
    throw std::runtime_error(name + "dip " + roundedText(*bottom, 6) + " at " +
                             std::to_string(bottom_row));
  }
  for (auto it = bottom; it + 1 != v.end(); ++it) {
    if (it[1] <= it[0]) {
      throw std::runtime_error(name + "not rising at row " + std::to_string(it - v.begin()));
    }
  }
}

// The slope may not change by more than a twentieth of its peak from one
// picosecond to the next: a corner where two cubics meet would.
void checkNoKinks(const std::string& name, const std::vector<double>& v) {
  double peak_step = 0.0;
  for (size_t i = 1; i < v.size(); ++i) {
    peak_step = std::max(peak_step, std::fabs(v[i] - v[i - 1]));
  }
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    if (std::fabs(v[i + 1] - 2 * v[i] + v[i - 1]) > kMaxSlopeChangeShare * peak_step) {
      throw std::runtime_error(name + "kink at row " + std::to_string(i));
    }
  }
}

}  // namespace

void checkStepColumn(int column, const std::vector<double>& samples) {
  const ColumnRecord& record = recordOfColumn(column);
  const std::string name = "column " + std::to_string(column) + ": ";
  checkRecordedRows(name, record, samples);
  checkCrossings(name, record, samples);
  checkQuietBandAndDip(name, record, samples);
  checkNoKinks(name, samples);
}

}  // namespace norvask::tools
