// The levels every data pattern puts on the sampled voltage: a signal cursor
// plus every other cursor times a random sign, as a distribution on a grid of
// voltage bins, and the crosstalk the aggressors add to it. The statistical
// eye is built from these.
#ifndef NORVASK_HOST_ANALYSIS_PATTERNLEVELS_H_
#define NORVASK_HOST_ANALYSIS_PATTERNLEVELS_H_

#include <cstdint>
#include <vector>

#include "host/analysis/StatisticalEye.h"
#include "host/analysis/VoltageDistribution.h"

namespace norvask::host {

// The voltage grid, and the finer one on which cursors are first summed:
// each cursor lands within a fine bin, and only the sum is rounded to a grid
// bin, once.
struct VoltageGrid {
  double bin = 1.0;
  std::int64_t fineness = 1;  // fine bins per bin
};

// start plus +-magnitude terms as a distribution on the grid. Rounding the
// running sum keeps the all-same-sign pattern within half a fine bin;
// `error` grows by the worst error of any pattern.
VoltageDistribution randomSignSum(std::vector<double> magnitudes, double start,
                                  const VoltageGrid& grid, double& error);

// Every aggressor's crosstalk, at its worst phase or averaged over the bit as
// the settings say; `error` grows by the worst placement error.
VoltageDistribution crosstalk(const std::vector<std::vector<double>>& aggressors,
                              const StatisticalEyeSettings& settings, const VoltageGrid& grid,
                              double& error);

// Largest level any pattern reaches, V, victim sampled from `firstSample`
// over one bit and every aggressor at its worst phase.
double widestLevel(const std::vector<double>& victim,
                   const std::vector<std::vector<double>>& aggressors, std::int64_t firstSample,
                   const StatisticalEyeSettings& settings);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_PATTERNLEVELS_H_
