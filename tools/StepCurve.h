// A whole step response: the edge in plain values up to kTailStartRow, the
// settling tail from there on as the logarithm of the distance to the
// asymptote. A driver settles like a sum of decaying exponentials, which are
// nearly straight lines in that form, so the tail's slope decays smoothly
// instead of bending at every anchor; the two parts meet with equal slope.
#ifndef NORVASK_TOOLS_STEPCURVE_H_
#define NORVASK_TOOLS_STEPCURVE_H_

#include <optional>
#include <vector>

#include "tools/MonotoneCurve.h"

namespace norvask::tools {

// Past the steepest point of every column: where the tail takes over.
inline constexpr double kTailStartRow = 600;

class StepCurve {
 public:
  // REQUIRES: every anchor value from kTailStartRow on is below `asymptote`.
  StepCurve(std::vector<Anchor> anchors, double asymptote);

  // Tail anchors come back exactly as given, not through log and exp.
  double operator()(double t) const;

 private:
  double asymptote_;
  std::vector<Anchor> tail_anchors_;
  std::optional<MonotoneCurve> edge_, tail_;
};

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_STEPCURVE_H_
