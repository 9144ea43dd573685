#include "tools/StepColumnFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "tools/MonotoneCurve.h"
#include "tools/RecordDigits.h"
#include "tools/StepCurve.h"
#include "tools/StepRecords.h"

namespace norvask::tools {
namespace {

// How far into the dip the output has fallen at the edge of the quiet band.
constexpr double kDipStartFraction = 0.04;
// Offsets of readings inside their rounding interval, as a share of half a step.
constexpr double kReadingOffsetShare = 0.35;
// Rounds of pinning before the crossing rows count as unreachable.
constexpr int kPinningPasses = 8;

// A fixed pseudo-random share in [-1, 1) for (column, row), so readings do not
// all sit at the same place inside their intervals.
double offsetShare(int column, int row) {
  const unsigned hash =
      (static_cast<unsigned>(column) * 7919u + static_cast<unsigned>(row) * 104729u) % 1000u;
  return static_cast<double>(hash) / 500.0 - 1.0;
}

std::vector<double> sampleRows(const StepCurve& curve) {
  std::vector<double> samples(kRows);
  for (int i = 0; i < kRows; ++i) {
    samples[static_cast<size_t>(i)] = curve(i);
  }
  return samples;
}

// The value the response settles towards, a little above the last sample:
// the decay from the 1500 to the 2000 ps reading, continued to the last row.
double asymptoteOf(const ColumnRecord& record) {
  const double final_value = parseDecimal(record.final_value);
  const double at1500 = final_value - parseDecimal(record.selected[kSelectedCount - 2]);
  const double at2000 = final_value - parseDecimal(record.selected[kSelectedCount - 1]);
  return final_value + at2000 * std::pow(at2000 / at1500, (kRows - 1 - 2000) / 500.0);
}

std::vector<Anchor> baseAnchors(int column, const ColumnRecord& record) {
  std::vector<Anchor> anchors = {{0, 0.0}, {1, parseDecimal(record.row1)}};
  for (int k = 0; k < kSelectedCount; ++k) {
    const double offset = kReadingOffsetShare * offsetShare(column, kSelectedRows[k]) *
                          halfStepOfLastDigit(record.selected[k], 4);
    anchors.push_back(
        {static_cast<double>(kSelectedRows[k]), parseDecimal(record.selected[k]) + offset});
  }
  anchors.push_back({1000, parseDecimal(record.row1000)});
  anchors.push_back({kRows - 1, parseDecimal(record.final_value)});
  const double depth =
      parseDecimal(record.dip_depth) +
      kReadingOffsetShare * offsetShare(column, 0) * halfStepOfLastDigit(record.dip_depth, 2);
  const double at450 = anchors[2].value;
  anchors.push_back({kQuietUntilRow, at450 + kDipStartFraction * (depth - at450)});
  anchors.push_back({static_cast<double>(record.dip_bottom_row), depth});
  return anchors;
}

// Where `curve` first reaches `level`, to a thousandth of a row.
double crossingTime(const StepCurve& curve, double level) {
  const int row = firstRowAtOrAbove(sampleRows(curve), level);
  double low = row - 1, high = row;
  while (high - low > 1e-3) {
    const double mid = 0.5 * (low + high);
    (curve(mid) >= level ? high : low) = mid;
  }
  return high;
}

Anchor* anchorAt(std::vector<Anchor>& anchors, double time) {
  for (Anchor& anchor : anchors) {
    if (anchor.time == time) {
      return &anchor;
    }
  }
  return nullptr;
}

// Pins every crossing row the curve misses, one at a time, until all hold.
void pinCrossings(std::vector<Anchor>& anchors, const ColumnRecord& record) {
  const double final_value = parseDecimal(record.final_value);
  const double asymptote = asymptoteOf(record);
  for (int pass = 0; pass < kPinningPasses; ++pass) {
    bool changed = false;
    for (size_t k = 0; k < kCrossingFractions.size(); ++k) {
      const double level = kCrossingFractions[k] * final_value;
      const int row = record.crossing_rows[k];
      const StepCurve curve(anchors, asymptote);
      const std::vector<double> samples = sampleRows(curve);
      if (firstRowAtOrAbove(samples, level) == row) {
        continue;
      }
      changed = true;
      if (Anchor* reading = anchorAt(anchors, row)) {
        const double slope =
            0.5 * (samples[static_cast<size_t>(row) + 1] - samples[static_cast<size_t>(row) - 1]);
        reading->value = level + 0.5 * slope;
        continue;
      }
      const double natural = crossingTime(curve, level);
      const double time = std::clamp(natural, row - 0.8, row - 0.2);
      anchors.push_back({time, level});
    }
    if (!changed) {
      return;
    }
  }
  throw std::runtime_error("crossing rows could not be pinned");
}

}  // namespace

std::vector<double> fitStepColumn(int column) {
  const ColumnRecord& record = recordOfColumn(column);
  std::vector<Anchor> anchors = baseAnchors(column, record);
  pinCrossings(anchors, record);
  std::vector<double> samples = sampleRows(StepCurve(anchors, asymptoteOf(record)));
  for (double& sample : samples) {
    sample = parseDecimal(roundedText(sample, kRecordedDigits));
  }
  return samples;
}

}  // namespace norvask::tools
