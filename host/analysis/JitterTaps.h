// The sampling-clock jitter of the statistical eye as taps over phase steps.
#ifndef NORVASK_HOST_ANALYSIS_JITTERTAPS_H_
#define NORVASK_HOST_ANALYSIS_JITTERTAPS_H_

#include <cstdint>
#include <vector>

#include "host/analysis/StatisticalEye.h"

namespace norvask::host {

// Probability of each sampling-time offset of -reach .. reach phase steps:
// Gaussian cells of random jitter convolved with the two Diracs at
// +-deterministic / 2, each split between its two neighbouring steps.
// Without jitter one tap of 1 at offset 0 (reach 0). Random jitter's tails
// lighter than settings.berFloor are left out.
std::vector<double> jitterTaps(const StatisticalEyeSettings& settings, std::int64_t& reach);

// The reach jitterTaps() gives, without building the taps: what a cost
// estimate needs.
std::int64_t jitterReach(const StatisticalEyeSettings& settings);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_JITTERTAPS_H_
