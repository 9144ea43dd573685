#include "tools/StepCurve.h"

#include <algorithm>
#include <cmath>

namespace norvask::tools {

StepCurve::StepCurve(std::vector<Anchor> anchors, double asymptote) : asymptote_(asymptote) {
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
  edge_.emplace(edge, -tail_->FirstSlope() * distance);
}

double StepCurve::operator()(double t) const {
  if (t <= kTailStartRow) {
    return (*edge_)(t);
  }
  for (const Anchor& anchor : tail_anchors_) {
    if (anchor.time == t) {
      return anchor.value;
    }
  }
  return asymptote_ - std::exp((*tail_)(t));
}

}  // namespace norvask::tools
