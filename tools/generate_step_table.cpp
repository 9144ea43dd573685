// Writes data/StepResponseTable.cpp, the 16 driver step responses the library
// carries, from a small set of anchor points per column. What is on record of
// each measured response (final value, the two exact rows, selected rows to
// four digits, the dip and the 10/50/90/99 % crossing rows) is kept here, and
// this program draws a shape-preserving curve through it, so the table is
// reproducible byte for byte from a few hundred numbers.
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
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 2240;
constexpr int kColumns = 17;
constexpr int kSelectedCount = 9;
constexpr std::array<int, kSelectedCount> kSelectedRows = {450, 500, 550,  600, 650,
                                                           700, 800, 1500, 2000};
constexpr std::array<double, 4> kCrossingFractions = {0.10, 0.50, 0.90, 0.99};
constexpr int kQuietUntilRow = 460;
constexpr double kTailStartRow = 600;
constexpr double kQuietBand = 0.00025;
// How far into the dip the output has fallen at the edge of the quiet band.
constexpr double kDipStartFraction = 0.04;
// Offsets of readings inside their rounding interval, as a share of half a step.
constexpr double kReadingOffsetShare = 0.35;
constexpr double kMaxSlopeChangeShare = 0.05;
// The instrument's records carry ten significant digits; so does the table.
// This also keeps the last bits of log, exp and pow, which libraries may
// round differently, out of the committed text.
constexpr int kRecordedDigits = 10;

struct ColumnRecord {
  const char* final_value;
  const char* row1;
  const char* row1000;
  std::array<const char*, kSelectedCount> selected;
  const char* dip_depth;
  int dip_bottom_row;  // our choice: where the feedthrough dip bottoms out
  std::array<int, 4> crossing_rows;
};

// Earlier edges (higher columns) pull the dip bottom earlier: the main edge
// starts right after the feedthrough, so the bottom sits about 60 ps ahead of
// the 10 % row.
// clang-format off
const std::array<ColumnRecord, kColumns - 1> kRecords = {{
    // final value, row 1, row 1000,
    // rows 450, 500, 550, 600, 650, 700, 800, 1500, 2000,
    // deepest dip, dip bottom row, 10/50/90/99 % rows
    {"0.3301172764", "3.525e-08", "0.3125540644",
     {"6.175e-05", "-0.004709", "0.03702", "0.1049", "0.1654", "0.2129", "0.272", "0.3237", "0.3289"},
     "-0.0054", 489, {548, 650, 884, 1750}},
    {"0.4292749577", "3.745833333e-08", "0.404314085",
     {"6.316e-05", "-0.004872", "0.04972", "0.1419", "0.2207", "0.2806", "0.3541", "0.4207", "0.4278"},
     "-0.0056", 489, {547, 646, 890, 1749}},
    {"0.5172420711", "3.824999997e-08", "0.4851079213",
     {"6.404e-05", "-0.004931", "0.06052", "0.1753", "0.2699", "0.3406", "0.4261", "0.5069", "0.5155"},
     "-0.0056", 489, {547, 644, 894, 1741}},
    {"0.6122629656", "4.304166667e-08", "0.5721886232",
     {"6.435e-05", "-0.004901", "0.07175", "0.2113", "0.323", "0.4052", "0.5028", "0.6", "0.6103"},
     "-0.0055", 489, {547, 642, 901, 1736}},
    {"0.683975333", "4.445833331e-08", "0.6371795044",
     {"6.457e-05", "-0.004782", "0.08004", "0.2382", "0.3632", "0.4537", "0.5607", "0.6704", "0.6818"},
     "-0.0053", 488, {547, 641, 908, 1724}},
    {"0.7758306872", "4.975e-08", "0.7204442535",
     {"6.414e-05", "-0.004397", "0.09069", "0.2722", "0.4141", "0.5148", "0.6344", "0.7606", "0.7735"},
     "-0.0047", 488, {547, 640, 915, 1727}},
    {"0.8565529679", "6.125000007e-08", "0.7934103733",
     {"6.296e-05", "-0.003585", "0.1004", "0.3016", "0.4582", "0.5695", "0.6989", "0.8398", "0.8539"},
     "-0.0036", 487, {547, 639, 919, 1715}},
    {"0.9383707029", "1.175e-07", "0.8688572698",
     {"5.917e-05", "-0.001644", "0.1115", "0.3316", "0.5036", "0.6249", "0.7676", "0.9208", "0.9356"},
     "-0.0018", 486, {546, 639, 921, 1700}},
    {"0.9779519779", "1.025e-07", "0.9055123218",
     {"5.591e-05", "6.536e-05", "0.118", "0.3465", "0.5263", "0.6526", "0.8009", "0.9603", "0.9753"},
     "-0.00099", 484, {546, 639, 918, 1692}},
    {"1.026452386", "4.583333333e-08", "0.9525162779",
     {"4.989e-05", "0.003627", "0.1287", "0.3661", "0.5556", "0.6891", "0.8476", "1.01", "1.024"},
     "-0.00039", 482, {545, 638, 910, 1647}},
    {"1.043152309", "5.875000005e-08", "0.9727096779",
     {"4.595e-05", "0.00658", "0.1363", "0.3758", "0.5693", "0.7075", "0.8686", "1.03", "1.041"},
     "-0.00037", 480, {543, 637, 898, 1579}},
    {"1.039366429", "7.41666667e-08", "0.9758239925",
     {"4.316e-05", "0.00909", "0.1418", "0.3799", "0.5745", "0.7144", "0.8749", "1.029", "1.038"},
     "-0.00042", 479, {542, 635, 887, 1500}},
    {"1.027638206", "7.750000003e-08", "0.9699171567",
     {"4.126e-05", "0.01052", "0.1445", "0.3803", "0.5745", "0.7145", "0.8718", "1.019", "1.026"},
     "-0.00049", 478, {540, 633, 876, 1454}},
    {"1.007649536", "7.083333337e-08", "0.9561814125",
     {"3.928e-05", "0.01187", "0.1466", "0.3794", "0.5714", "0.7111", "0.8609", "0.9999", "1.007"},
     "-0.00057", 477, {539, 631, 866, 1421}},
    {"0.98910612", "6.916666665e-08", "0.9415944812",
     {"3.82e-05", "0.0127", "0.1478", "0.3774", "0.5679", "0.7059", "0.8496", "0.9816", "0.9881"},
     "-0.00062", 476, {538, 629, 859, 1418}},
    {"0.9709394817", "6.583333332e-08", "0.9246994038",
     {"3.763e-05", "0.01332", "0.1484", "0.3751", "0.5639", "0.6997", "0.8363", "0.9631", "0.9699"},
     "-0.00066", 475, {537, 628, 855, 1430}},
}};
// clang-format on

double parse(const std::string& literal) {
  return std::strtod(literal.c_str(), nullptr);
}

// Half a step of the last of `digits` significant digits of `reading`.
double halfStep(const char* reading, int digits) {
  const double magnitude = std::floor(std::log10(std::fabs(parse(reading))));
  return 0.5 * std::pow(10.0, magnitude - (digits - 1));
}

std::string rounded(double value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

// A fixed pseudo-random share in [-1, 1) for (column, row), so readings do not
// all sit at the same place inside their intervals.
double offsetShare(int column, int row) {
  const unsigned hash =
      (static_cast<unsigned>(column) * 7919u + static_cast<unsigned>(row) * 104729u) % 1000u;
  return static_cast<double>(hash) / 500.0 - 1.0;
}

struct Anchor {
  double time;  // in rows (ps)
  double value;
};

// Monotone piecewise-cubic Hermite curve through anchors with ascending times.
class MonotoneCurve {
 public:
  // REQUIRES: at least three anchors, times strictly ascending.
  // `last_slope`, when given, replaces the estimate at the last anchor (kept
  // within the monotone limit).
  explicit MonotoneCurve(std::vector<Anchor> anchors,
                         std::optional<double> last_slope = std::nullopt)
      : anchors_(std::move(anchors)) {
    ComputeSlopes();
    if (last_slope) {
      const size_t n = anchors_.size();
      const double secant = (anchors_[n - 1].value - anchors_[n - 2].value) /
                            (anchors_[n - 1].time - anchors_[n - 2].time);
      slopes_[n - 1] = secant > 0 ? std::clamp(*last_slope, 0.0, 3 * secant) : 0.0;
    }
  }

  double first_slope() const { return slopes_.front(); }

  double operator()(double t) const {
    const auto after = std::upper_bound(anchors_.begin(), anchors_.end(), t,
                                        [](double x, const Anchor& a) { return x < a.time; });
    const size_t j = static_cast<size_t>(std::max<std::ptrdiff_t>(after - anchors_.begin(), 1)) - 1;
    if (t == anchors_[j].time || j + 1 == anchors_.size()) {
      return anchors_[j].value;
    }
    const double h = anchors_[j + 1].time - anchors_[j].time;
    const double s = (t - anchors_[j].time) / h;
    const double s2 = s * s;
    const double s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * anchors_[j].value + (s3 - 2 * s2 + s) * h * slopes_[j] +
           (-2 * s3 + 3 * s2) * anchors_[j + 1].value + (s3 - s2) * h * slopes_[j + 1];
  }

 private:
  void ComputeSlopes() {
    const size_t n = anchors_.size();
    std::vector<double> h(n - 1), secant(n - 1);
    for (size_t j = 0; j + 1 < n; ++j) {
      h[j] = anchors_[j + 1].time - anchors_[j].time;
      secant[j] = (anchors_[j + 1].value - anchors_[j].value) / h[j];
    }
    slopes_.assign(n, 0.0);
    for (size_t j = 1; j + 1 < n; ++j) {
      slopes_[j] = InteriorSlope(h[j - 1], h[j], secant[j - 1], secant[j]);
    }
    slopes_[0] = EndSlope(h[0], h[1], secant[0], secant[1]);
    slopes_[n - 1] = EndSlope(h[n - 2], h[n - 3], secant[n - 2], secant[n - 3]);
  }

  // The slope of the parabola through three neighbouring anchors (it follows
  // the data even where anchors crowd together, unlike a harmonic mean), then
  // limited as Fritsch and Carlson show suffices for a monotone cubic: zero at
  // a local extremum, at most three times either neighbouring secant.
  static double InteriorSlope(double h0, double h1, double d0, double d1) {
    if (d0 * d1 <= 0) {
      return 0.0;
    }
    const double slope = (h1 * d0 + h0 * d1) / (h0 + h1);
    const double limit = 3 * std::min(std::fabs(d0), std::fabs(d1));
    return std::copysign(std::min(std::fabs(slope), limit), d0);
  }

  // One-sided three-point slope, kept shape-preserving.
  static double EndSlope(double h0, double h1, double d0, double d1) {
    double slope = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
    if (slope * d0 <= 0) {
      return 0.0;
    }
    if (d0 * d1 <= 0 && std::fabs(slope) > 3 * std::fabs(d0)) {
      slope = 3 * d0;
    }
    return slope;
  }

  std::vector<Anchor> anchors_;
  std::vector<double> slopes_;
};

// A whole step response: the edge in plain values up to kTailStartRow, the
// settling tail from there on as the logarithm of the distance to the
// asymptote. A driver settles like a sum of decaying exponentials, which are
// nearly straight lines in that form, so the tail's slope decays smoothly
// instead of bending at every anchor; the two parts meet with equal slope.
class StepCurve {
 public:
  // REQUIRES: every anchor value from kTailStartRow on is below `asymptote`.
  StepCurve(std::vector<Anchor> anchors, double asymptote) : asymptote_(asymptote) {
    std::sort(anchors.begin(), anchors.end(),
              [](const Anchor& a, const Anchor& b) { return a.time < b.time; });
    std::vector<Anchor> edge, log_distance;
    for (const Anchor& anchor : anchors) {
      if (anchor.time <= kTailStartRow) {
        edge.push_back(anchor);
      }
      if (anchor.time >= kTailStartRow) {
        tail_anchors_.push_back(anchor);
        log_distance.push_back({anchor.time, std::log(asymptote - anchor.value)});
      }
    }
    tail_.emplace(log_distance);
    const double distance = asymptote - edge.back().value;
    edge_.emplace(edge, -tail_->first_slope() * distance);
  }

  double operator()(double t) const {
    if (t <= kTailStartRow) {
      return (*edge_)(t);
    }
    for (const Anchor& anchor : tail_anchors_) {
      if (anchor.time == t) {
        return anchor.value;  // exactly as recorded, not through log and exp
      }
    }
    return asymptote_ - std::exp((*tail_)(t));
  }

 private:
  double asymptote_;
  std::vector<Anchor> tail_anchors_;
  std::optional<MonotoneCurve> edge_, tail_;
};

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
  const double final_value = parse(record.final_value);
  const double at1500 = final_value - parse(record.selected[kSelectedCount - 2]);
  const double at2000 = final_value - parse(record.selected[kSelectedCount - 1]);
  return final_value + at2000 * std::pow(at2000 / at1500, (kRows - 1 - 2000) / 500.0);
}

std::vector<Anchor> baseAnchors(int column, const ColumnRecord& record) {
  std::vector<Anchor> anchors = {{0, 0.0}, {1, parse(record.row1)}};
  for (int k = 0; k < kSelectedCount; ++k) {
    const double offset = kReadingOffsetShare * offsetShare(column, kSelectedRows[k]) *
                          halfStep(record.selected[k], 4);
    anchors.push_back({static_cast<double>(kSelectedRows[k]), parse(record.selected[k]) + offset});
  }
  anchors.push_back({1000, parse(record.row1000)});
  anchors.push_back({kRows - 1, parse(record.final_value)});
  const double depth = parse(record.dip_depth) +
                       kReadingOffsetShare * offsetShare(column, 0) * halfStep(record.dip_depth, 2);
  const double at450 = anchors[2].value;
  anchors.push_back({kQuietUntilRow, at450 + kDipStartFraction * (depth - at450)});
  anchors.push_back({static_cast<double>(record.dip_bottom_row), depth});
  return anchors;
}

int firstRowAtOrAbove(const std::vector<double>& samples, double level) {
  for (int i = 0; i < kRows; ++i) {
    if (samples[static_cast<size_t>(i)] >= level) {
      return i;
    }
  }
  return kRows;
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
  const double final_value = parse(record.final_value);
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
  const ColumnRecord& record = kRecords[static_cast<size_t>(column) - 1];
  std::vector<Anchor> anchors = baseAnchors(column, record);
  pinCrossings(anchors, record);
  std::vector<double> samples = sampleRows(StepCurve(anchors, asymptoteOf(record)));
  for (double& sample : samples) {
    sample = parse(rounded(sample, kRecordedDigits));
  }
  return samples;
}

void checkRecordedRows(const std::string& name, const ColumnRecord& record,
                       const std::vector<double>& v) {
  if (v[0] != 0.0 || v[1] != parse(record.row1) || v[1000] != parse(record.row1000) ||
      v[kRows - 1] != parse(record.final_value)) {
    throw std::runtime_error(name + "exact rows differ");
  }
  for (int k = 0; k < kSelectedCount; ++k) {
    const double value = v[static_cast<size_t>(kSelectedRows[k])];
    if (rounded(value, 4) != record.selected[k]) {
      throw std::runtime_error(name + "row " + std::to_string(kSelectedRows[k]) + " reads " +
                               rounded(value, 6));
    }
  }
}

void checkCrossings(const std::string& name, const ColumnRecord& record,
                    const std::vector<double>& v) {
  for (size_t k = 0; k < kCrossingFractions.size(); ++k) {
    const int row = firstRowAtOrAbove(v, kCrossingFractions[k] * parse(record.final_value));
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
  if (rounded(*bottom, 2) != record.dip_depth || bottom_row < 470 || bottom_row > 505) {
    throw std::runtime_error(name + "dip " + rounded(*bottom, 6) + " at " +
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
  const ColumnRecord& record = kRecords[static_cast<size_t>(column) - 1];
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
  std::string literal = rounded(value, kRecordedDigits);
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

int main(int argc, char** argv) {
  try {
    return generate(argc, argv);
  } catch (const std::exception& failure) {
    std::cerr << "generate_step_table: " << failure.what() << "\n";
    return 1;
  }
}
