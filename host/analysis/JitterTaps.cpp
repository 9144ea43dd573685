#include "host/analysis/JitterTaps.h"

#include <cmath>

namespace norvask::host {

namespace {

// A Gaussian's mass beyond 38 rms is below 1e-300.
constexpr double kJitterReach = 38.0;

}  // namespace

std::vector<double> jitterTaps(const StatisticalEyeSettings& settings, std::int64_t& reach) {
  const double steps = settings.samplesPerBit;
  const double sigma = settings.randomJitterRms * steps;
  const double dirac = settings.deterministicJitter * steps / 2.0;
  const auto randomReach = static_cast<std::int64_t>(std::ceil(kJitterReach * sigma));
  const auto diracFloor = static_cast<std::int64_t>(std::floor(dirac));
  reach = randomReach + diracFloor + 1;
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
