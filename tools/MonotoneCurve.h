// A monotone piecewise-cubic Hermite curve through anchor points: slopes from
// the parabola through three neighbouring anchors, limited after Fritsch and
// Carlson. The slope is continuous, and the curve follows the data where
// anchors crowd together and adds no overshoot.
#ifndef NORVASK_TOOLS_MONOTONECURVE_H_
#define NORVASK_TOOLS_MONOTONECURVE_H_

#include <optional>
#include <vector>

namespace norvask::tools {

struct Anchor {
  double time;  // in rows (ps)
  double value;
};

class MonotoneCurve {
 public:
  // REQUIRES: at least three anchors, times strictly ascending.
  // `last_slope`, when given, replaces the estimate at the last anchor (kept
  // within the monotone limit).
  explicit MonotoneCurve(std::vector<Anchor> anchors,
                         std::optional<double> last_slope = std::nullopt);

  double FirstSlope() const { return slopes_.front(); }

  // The anchor's own value at an anchor time; the last value beyond the last
  // anchor.
  double operator()(double t) const;

 private:
  void ComputeSlopes();

  std::vector<Anchor> anchors_;
  std::vector<double> slopes_;
};

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_MONOTONECURVE_H_
