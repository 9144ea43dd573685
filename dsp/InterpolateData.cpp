#include "dsp/InterpolateData.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "dsp/CurveFit.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

namespace {

// The four points around the interval being interpolated, which always runs
// from point 1 to point 2.
struct Neighbourhood {
  double x[4];
  double y[4];
};

// The last cubic fit of a run, reused while its key (normalized interval and
// end slopes) is unchanged: on a fine grid that is once per data interval.
struct CubicCache {
  double key[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  double a[4] = {0.0, 0.0, 0.0, 0.0};
};

// Points for the interval that ends at abscissa j. Beyond the data, step data
// is zero before its start and flat after its end; general data continues on
// the line through its two outermost points.
Neighbourhood pointsAround(const std::vector<double>& x, const std::vector<double>& y,
                           std::size_t j, bool stepData) {
  const std::size_t last = x.size() - 1;
  const double d = x[1] - x[0];
  const double beforeTwo = stepData ? 0.0 : y[0] - 2.0 * (y[1] - y[0]);
  const double beforeOne = stepData ? 0.0 : y[0] - (y[1] - y[0]);
  const double after = stepData ? y[last] : 2.0 * y[last] - y[last - 1];
  if (j == 0)
    return {{x[0] - 2.0 * d, x[0] - d, x[0], x[1]}, {beforeTwo, beforeOne, y[0], y[1]}};
  if (j == 1)
    return {{x[0] - d, x[0], x[1], x[2]}, {beforeOne, y[0], y[1], y[2]}};
  if (j < last)
    return {{x[j - 2], x[j - 1], x[j], x[j + 1]}, {y[j - 2], y[j - 1], y[j], y[j + 1]}};
  return {{x[last - 2], x[last - 1], x[last], 2.0 * x[last] - x[last - 1]},
          {y[last - 2], y[last - 1], y[last], after}};
}

double linear(const Neighbourhood& p, double q) {
  return (p.y[2] - p.y[1]) * (q - p.x[1]) / (p.x[2] - p.x[1]) + p.y[1];
}

// Cubic through the interval with the averaged neighbouring slopes at its
// ends, falling back to the straight line wherever the cubic would leave the
// band between the interval's two ordinates, so monotone data stays monotone.
// The points are first normalized so that P0 and P1 sit at u = 1 and 2: the
// fit then works on numbers near 1 whatever the data's units.
bool shapePreserving(const Neighbourhood& p, double q, CurveFit& fit, CubicCache& cache,
                     double& value) {
  const double xoff = p.x[1] - 2.0 * p.x[0];
  const double yoff = 2.0 * p.y[0] - p.y[1];
  const double scale = 1.0 / std::fabs(p.x[1] - p.x[0]);
  double u[4];
  double w[4];
  for (int i = 0; i < 4; ++i) {
    u[i] = (p.x[i] + xoff) * scale;
    w[i] = p.y[i] - yoff;
  }
  const double m0 = (w[1] - w[0]) / (u[1] - u[0]);
  const double m1 = (w[2] - w[1]) / (u[2] - u[1]);
  const double m2 = (w[3] - w[2]) / (u[3] - u[2]);
  const double key[6] = {u[1], u[2], w[1], w[2], (m0 + m1) * 0.5, (m1 + m2) * 0.5};
  if (!std::equal(key, key + 6, cache.key)) {
    double* a = cache.a;
    if (!fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], key[0], key[2], key[1], key[3],
                                           key[4], key[5])) {
      return false;
    }
    std::copy(key, key + 6, cache.key);
  }
  const double* a = cache.a;
  const double uq = (q + xoff) * scale;
  const double cubic = ((a[3] * uq + a[2]) * uq + a[1]) * uq + a[0];
  const bool overshoots = (w[2] > w[1] && (cubic < w[1] || cubic > w[2])) ||
                          (w[1] > w[2] && (cubic > w[1] || cubic < w[2]));
  value = overshoots ? (uq - u[1]) * (w[2] - w[1]) / (u[2] - u[1]) + w[1] + yoff : cubic + yoff;
  return true;
}

}  // namespace

bool InterpolateData::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  SettingsCheck check(messages);
  check.Expect(yData->size() >= 4, "yData array size must be >= 4.\n");
  check.Expect(xData->size() >= 4, "xData array size must be >= 4.\n");
  check.Expect(xData->size() == yData->size(),
               "xData array and yData array must have the same size.\n");
  check.Expect(InUnsignedRange(x_DataOption, 1),
               "x_DataOption must be an integer in the range [0,1].\n");
  if (x_DataOption == 1)
    check.Expect(!x_Data->empty(), "x_Data array size must be > 0.\n");
  if (x_DataOption == 0)
    CheckGrid(check);
  check.Expect(InUnsignedRange(UseLogX, 1), "UseLogX must be an integer in the range [0,1].\n");
  check.Expect(InUnsignedRange(InterpolationType, 2),
               "InterpolationType must be an integer in the range [0,2].\n");
  check.Expect(InUnsignedRange(DifferentiateData, 1),
               "DifferentiateData must be an integer in the range [0,1].\n");
  // The scale settings matter only where scaling happens: differences of
  // step data on a grid.
  if (x_DataOption == 0 && DifferentiateData == 1 && StepData == 1) {
    check.Expect(InUnsignedRange(ScaleByOneOverXStep, 1),
                 "ScaleByOneOverXStep must be an integer in the range [0,1].\n");
    check.Expect(InUnsignedRange(ScaleForFinalValue, 1),
                 "ScaleForFinalValue must be an integer in the range [0,1].\n");
  }
  if (!check.Expect(InUnsignedRange(StepData, 1),
                    "StepData must be an integer in the range [0,1].\n")) {
    return false;
  }
  return check.passed() && CheckAscending(messages);
}

void InterpolateData::CheckGrid(SettingsCheck& check) const {
  // A NaN step or start is refused along with the out-of-range ones.
  check.Expect(x_Step > 0.0, "x_Step must be > 0.\n");
  if (!xData->empty()) {
    check.Expect(xData->front() <= x_Start, "x_Start must be >= xData[0].\n");
  }
  check.Expect(nPtsOut >= 1, "nPtsOut must be an integer > 0.\n");
  // Only meaningful once the sizes and the grid settings are sound. The small
  // allowance lets a grid end on the last abscissa despite rounding.
  if (nPtsOut >= 1 && check.passed()) {
    const double lastPoint = x_Start + static_cast<double>(nPtsOut - 1) * x_Step;
    check.Expect(!(lastPoint > xData->back() + 0.001 * x_Step),
                 "x_Start + double(nPtsOut-1)*x_Step > xData[0][ int(xData.size()) - 1].\n");
  }
}

bool InterpolateData::CheckAscending(std::ostream& messages) const {
  const std::vector<double>& x = *xData;
  // Written as "not ascending" so that a NaN abscissa is refused too.
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (!(x[i - 1] < x[i])) {
      messages << "xData[" << i + 1 << "] = " << x[i] << "  <= xData[" << i << "] = " << x[i - 1]
               << ". X-axis data must be in non-repeating ascending order.";
      return false;
    }
  }
  return true;
}

bool InterpolateData::Initialize(std::ostream& messages) {
  if (x_DataOption == 1)
    return InterpolateOver(*x_Data, messages);
  BuildGrid();
  if (!InterpolateOver(*x_Data, messages))
    return false;
  if (DifferentiateData == 1 && StepData == 1)
    return ScaleDifferences(messages);
  return true;
}

void InterpolateData::Finalize() {
  originalX_.clear();
  originalX_.shrink_to_fit();
}

void InterpolateData::BuildGrid() {
  std::vector<double>& grid = *x_Data;
  grid.resize(static_cast<std::size_t>(std::max<std::int32_t>(nPtsOut, 0)));
  for (std::size_t k = 0; k < grid.size(); ++k) {
    grid[k] = static_cast<double>(k) * x_Step + x_Start;
  }
  // Setup allowed a last point a hair beyond the data; pull it back so it
  // takes the last ordinate instead of extrapolating.
  if (!grid.empty() && grid.back() > xData->back())
    grid.back() = xData->back();
}

bool InterpolateData::InterpolateOver(const std::vector<double>& outX, std::ostream& messages) {
  const std::size_t count = outX.size();
  if (count >= 1)
    x_Start = outX[0];
  // A single output abscissa has no spacing to take: x_Step keeps the value it
  // had, so the log-axis reference and 1/x_Step scaling use the owner's step.
  if (count >= 2)
    x_Step = outX[1] - outX[0];
  ShiftAbscissae();
  logXRef_ = 1.0;
  if (UseLogX == 1)
    TransformToLogAxis();

  const std::vector<double>& x = *xData;
  const std::vector<double>& y = *yData;
  const std::size_t n = x.size();
  const double xLast = x[n - 1];
  const double tol = (x[n - 1] - x[n - 2]) * 1e-6;
  std::vector<double>& result = *yDataOut;
  result.assign(count, 0.0);
  CurveFit fit(trace_.stream());  // fresh per run: kernel trace lines once per run
  CubicCache cache;

  // Output abscissae ascend, so the interval index only moves forward.
  std::size_t j = 0;
  for (std::size_t k = 0; k < count; ++k) {
    double q = outX[k] - xOrigin_;
    if (k == 0 && q == 0.0) {  // on the first abscissa, which the shift put at 0
      result[0] = y[0];
      continue;
    }
    if (UseLogX == 1)
      q = std::log(q / logXRef_);
    while (j < n && x[j] < q && q <= xLast + tol)
      ++j;
    if (j >= n)
      j = n - 1;
    if (q > xLast - tol || x[j] == q) {
      result[k] = y[j];
      continue;
    }
    const Neighbourhood points = pointsAround(x, y, j, StepData == 1);
    if (InterpolationType == 0) {
      result[k] = linear(points, q);
    } else if (InterpolationType == 2) {
      result[k] =
          fit.LagrangeInterpolation_4Point(q, points.x[0], points.y[0], points.x[1], points.y[1],
                                           points.x[2], points.y[2], points.x[3], points.y[3]);
    } else if (!shapePreserving(points, q, fit, cache, result[k])) {
      messages << "Interpolation of the data failed at x-axis value " << outX[k] << ".";
      return false;
    }
  }

  if (DifferentiateData == 1 && count > 0) {
    // Backwards, so each difference still sees the undifferenced value before it.
    for (std::size_t k = count - 1; k > 0; --k)
      result[k] -= result[k - 1];
    result[0] = 0.0;
  }
  RestoreAbscissae();
  return true;
}

void InterpolateData::ShiftAbscissae() {
  std::vector<double>& x = *xData;
  originalX_.assign(x.begin(), x.end());
  xOrigin_ = x[0];
  x[0] = 0.0;
  for (std::size_t i = 1; i < x.size(); ++i)
    x[i] -= xOrigin_;
}

// ln(x / logXRef) with logXRef a little below the first step, so the first
// interval maps to values from 1 up; the first abscissa (0, whose log does not
// exist) is placed a quarter of the way to the second.
void InterpolateData::TransformToLogAxis() {
  std::vector<double>& x = *xData;
  const double reference = x_Step > x[1] ? x[1] : x_Step;
  logXRef_ = reference / std::exp(1.0);
  for (std::size_t i = 1; i < x.size(); ++i)
    x[i] = std::log(x[i] / logXRef_);
  x[0] = 0.25 * x[1];
}

// From the saved copy: shifting back by xOrigin_ could round, and the owner
// may compare the abscissae with those of a later run.
void InterpolateData::RestoreAbscissae() {
  std::copy(originalX_.begin(), originalX_.end(), xData->begin());
}

bool InterpolateData::ScaleDifferences(std::ostream& messages) {
  std::vector<double>& result = *yDataOut;
  double sum = 0.0;
  for (double value : result)
    sum += value;
  // Flat data would give an infinite factor and a result of infinities and
  // NaNs; refuse instead and leave the plain differences.
  if (sum == 0.0) {
    messages << "The interpolated data does not change over the output grid: its differences "
                "add up to 0 and cannot be scaled.\n";
    return false;
  }
  double factor = (ScaleForFinalValue != 0 ? yData->back() : 1.0) / sum;
  if (ScaleByOneOverXStep != 0)
    factor /= x_Step;
  for (double& value : result)
    value *= factor;
  return true;
}

}  // namespace norvask
