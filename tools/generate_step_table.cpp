// Writes data/StepResponseTable.cpp, the 16 driver step responses the library
// carries, from a small set of anchor points per column. What is on record of
// each measured response (final value, the two exact rows, selected rows to
// four digits, the dip and the 10/50/90/99 % crossing rows) is kept in
// StepRecords, and this program draws a shape-preserving curve through it, so
// the table is reproducible byte for byte from a few hundred numbers.
//
// Usage: generate_step_table [output.cpp]   (standard output without argument)
//
// How a column is built:
//  - Anchors are the listed rows: row 0 (0), row 1 (the recorded first sample),
//    rows 450, 500, 550, 600, 650, 700, 800, 1500 and 2000 (the four-digit
//    readings), row 1000 and row 2239 (the recorded values).
//  - A four-digit reading stands for an interval; the anchor sits inside it at
//    a fixed, deterministic offset (up to 35 % of the half step of the last
//    digit) so that the table does not carry suspiciously round numbers.
//  - The pre-edge dip of the CML driver (feedthrough of the pre-driver swing
//    through the output devices' gate-drain capacitance) gets two anchors: one
//    at 460 ps, still inside the quiet band, where the output starts to pull
//    down, and the bottom of the dip at a per-column time between 475 and
//    490 ps with the recorded depth.
//  - A crossing row (first row at or above 10/50/90/99 % of the final value)
//    that the curve misses gets an extra anchor at that level, placed between
//    the crossing row and the row before it, as close to where the curve
//    already crosses as that window allows; a crossing row that is itself a
//    reading has its reading moved to just above the level instead.
//  - Between anchors: monotone piecewise-cubic Hermite interpolation (slopes
//    from the parabola through three neighbouring anchors, limited after
//    Fritsch and Carlson), which keeps the slope continuous, follows the data
//    where anchors crowd together and adds no overshoot: the response rises
//    monotonically from the dip to the end, without ringing, as the measured
//    responses do. From 600 ps on, past the steepest point of every column,
//    the curve runs through the logarithm of the distance to the settling
//    asymptote rather than through the values, so the settling tail decays
//    smoothly like the exponentials it is made of instead of bending at each
//    anchor.
//
// Every fact the table has to meet is checked here before anything is written;
// a violation stops the program with a message and a nonzero exit status.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/DecimalText.h"
#include "tools/MonotoneCurve.h"
#include "tools/StepCurve.h"
#include "tools/StepRecords.h"

namespace norvask::tools {
namespace {

constexpr double kQuietBand = 0.00025;
// How far into the dip the output has fallen at the edge of the quiet band.
constexpr double kDipStartFraction = 0.04;
// Offsets of readings inside their rounding interval, as a share of half a step.
constexpr double kReadingOffsetShare = 0.35;
constexpr double kMaxSlopeChangeShare = 0.05;

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
  for (int pass = 0; pass < 8; ++pass) {
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

std::vector<double> generateColumn(int column) {
  const ColumnRecord& record = recordOfColumn(column);
  std::vector<Anchor> anchors = baseAnchors(column, record);
  pinCrossings(anchors, record);
  std::vector<double> samples = sampleRows(StepCurve(anchors, asymptoteOf(record)));
  for (double& sample : samples) {
    sample = parseDecimal(roundedText(sample, kRecordedDigits));
  }
  return samples;
}

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

void checkColumn(int column, const std::vector<double>& v) {
  const ColumnRecord& record = recordOfColumn(column);
  const std::string name = "column " + std::to_string(column) + ": ";
  checkRecordedRows(name, record, v);
  checkCrossings(name, record, v);
  checkQuietBandAndDip(name, record, v);
  checkNoKinks(name, v);
}

double timeAt(int row) {
  if (row == 1) {
    return 9.999999994e-13;  // as recorded by the instrument
  }
  return std::strtod((std::to_string(row) + "e-12").c_str(), nullptr);
}

// `value` as a double literal; every value here has at most ten significant
// digits, so this text reads back as exactly `value`.
std::string doubleLiteral(double value) {
  std::string literal = roundedText(value, kRecordedDigits);
  if (literal.find_first_of(".e") == std::string::npos) {
    literal += ".0";
  }
  return literal;
}

constexpr char kHeader[] =
    "// The 16 measured driver step responses; see StepResponseTable.h.\n"
    "//\n"
    "// Generated by tools/generate_step_table.cpp from its anchor points; do not\n"
    "// edit by hand. Regenerate with:\n"
    "//   cmake --build build --target generate_step_table && "
    "./build/tools/generate_step_table data/StepResponseTable.cpp\n"
    "// clang-format off\n"
    "#include \"data/StepResponseTable.h\"\n"
    "\n"
    "namespace norvask {\n"
    "\n"
    "const double StepResponseTable[kStepResponseRows * kStepResponseColumns] = {\n";

constexpr char kFooter[] =
    "};\n"
    "\n"
    "}  // namespace norvask\n"
    "// clang-format on\n";

std::string tableSource(const std::vector<std::vector<double>>& columns) {
  std::ostringstream out;
  out << kHeader;
  for (int i = 0; i < kRows; ++i) {
    out << "    " << doubleLiteral(timeAt(i));
    for (int k = 1; k < kColumns; ++k) {
      out << ", " << doubleLiteral(columns[static_cast<size_t>(k)][static_cast<size_t>(i)]);
    }
    out << ",\n";
  }
  out << kFooter;
  return out.str();
}

std::vector<std::vector<double>> checkedColumns() {
  std::vector<std::vector<double>> columns(kColumns);
  for (int k = 1; k < kColumns; ++k) {
    columns[static_cast<size_t>(k)] = generateColumn(k);
    checkColumn(k, columns[static_cast<size_t>(k)]);
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
  const std::string source = tableSource(checkedColumns());
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
