#include "tools/MonotoneCurve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace norvask::tools {
namespace {

// The slope of the parabola through three neighbouring anchors (it follows
// the data even where anchors crowd together, unlike a harmonic mean), then
// limited as Fritsch and Carlson show suffices for a monotone cubic: zero at
// a local extremum, at most three times either neighbouring secant.
double interiorSlope(double h0, double h1, double d0, double d1) {
  if (d0 * d1 <= 0) {
    return 0.0;
  }
  const double slope = (h1 * d0 + h0 * d1) / (h0 + h1);
  const double limit = 3 * std::min(std::fabs(d0), std::fabs(d1));
  return std::copysign(std::min(std::fabs(slope), limit), d0);
}

// One-sided three-point slope, kept shape-preserving.
double endSlope(double h0, double h1, double d0, double d1) {
  double slope = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
  if (slope * d0 <= 0) {
    return 0.0;
  }
  if (d0 * d1 <= 0 && std::fabs(slope) > 3 * std::fabs(d0)) {
    slope = 3 * d0;
  }
  return slope;
}

}  // namespace

MonotoneCurve::MonotoneCurve(std::vector<Anchor> anchors, std::optional<double> last_slope)
    : anchors_(std::move(anchors)) {
  ComputeSlopes();
  if (last_slope) {
    const size_t n = anchors_.size();
    const double secant = (anchors_[n - 1].value - anchors_[n - 2].value) /
                          (anchors_[n - 1].time - anchors_[n - 2].time);
    slopes_[n - 1] = secant > 0 ? std::clamp(*last_slope, 0.0, 3 * secant) : 0.0;
  }
}

double MonotoneCurve::operator()(double t) const {
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

void MonotoneCurve::ComputeSlopes() {
  const size_t n = anchors_.size();
  std::vector<double> h(n - 1), secant(n - 1);
  for (size_t j = 0; j + 1 < n; ++j) {
    h[j] = anchors_[j + 1].time - anchors_[j].time;
    secant[j] = (anchors_[j + 1].value - anchors_[j].value) / h[j];
  }
  slopes_.assign(n, 0.0);
  for (size_t j = 1; j + 1 < n; ++j) {
    slopes_[j] = interiorSlope(h[j - 1], h[j], secant[j - 1], secant[j]);
  }
  slopes_[0] = endSlope(h[0], h[1], secant[0], secant[1]);
  slopes_[n - 1] = endSlope(h[n - 2], h[n - 3], secant[n - 2], secant[n - 3]);
}

}  // namespace norvask::tools
