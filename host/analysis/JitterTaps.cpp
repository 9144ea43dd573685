#include "host/analysis/JitterTaps.h"

#include <cmath>

namespace norvask::host {

namespace {

// A Gaussian's mass beyond 38 rms is below 1e-300.
constexpr double kJitterReach = 38.0;

// Sampling offsets, in rms, beyond which random jitter's two tails together
// hold less than `floor` of its weight: the smallest x with
// erfc(x / sqrt 2) < floor, in half-rms steps.
double gaussianReach(double floor) {
  double x = 0.0;
  while (std::erfc(x / std::sqrt(2.0)) >= floor && x < kJitterReach)
    x += 0.5;
  return x;
}

}  // namespace

std::int64_t jitterReach(const StatisticalEyeSettings& settings) {
  if (settings.randomJitterRms == 0.0 && settings.deterministicJitter == 0.0)
    return 0;
  const double steps = settings.samplesPerBit;
  const double sigma = settings.randomJitterRms * steps;
  const double dirac = settings.deterministicJitter * steps / 2.0;
  return static_cast<std::int64_t>(std::ceil(gaussianReach(settings.berFloor) * sigma)) +
         static_cast<std::int64_t>(std::floor(dirac)) + 1;
}

std::vector<double> jitterTaps(const StatisticalEyeSettings& settings, std::int64_t& reach) {
  reach = jitterReach(settings);
  if (reach == 0)
    return {1.0};
  const double steps = settings.samplesPerBit;
  const double sigma = settings.randomJitterRms * steps;
  const double dirac = settings.deterministicJitter * steps / 2.0;
  const auto diracFloor = static_cast<std::int64_t>(std::floor(dirac));
  const std::int64_t randomReach = reach - diracFloor - 1;
  std::vector<double> taps(static_cast<std::size_t>(2 * reach + 1), 0.0);
  const double fraction = dirac - static_cast<double>(diracFloor);
  const std::int64_t diracSteps[] = {-diracFloor - 1, -diracFloor, diracFloor, diracFloor + 1};
  const double diracWeights[] = {0.5 * fraction, 0.5 * (1.0 - fraction), 0.5 * (1.0 - fraction),
                                 0.5 * fraction};
  for (std::int64_t r = -randomReach; r <= randomReach; ++r) {
    // Mass of the cell [r - 1/2, r + 1/2], each side from its own tail.
    double cell = 1.0;
    if (sigma > 0.0) {
      const double inner = (std::fabs(static_cast<double>(r)) - 0.5) / (sigma * std::sqrt(2.0));
      const double outer = (std::fabs(static_cast<double>(r)) + 0.5) / (sigma * std::sqrt(2.0));
      cell = r == 0 ? std::erf(outer) : 0.5 * (std::erfc(inner) - std::erfc(outer));
    }
    for (int d = 0; d < 4; ++d)
      taps[static_cast<std::size_t>(r + diracSteps[d] + reach)] += cell * diracWeights[d];
  }
  return taps;
}

}  // namespace norvask::host
