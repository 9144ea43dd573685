#include "host/analysis/PatternLevels.h"

#include <algorithm>
#include <cmath>

#include "host/analysis/PulseResponse.h"

namespace norvask::host {

namespace {

double sumOf(const std::vector<double>& values) {
  double sum = 0.0;
  for (double value : values)
    sum += value;
  return sum;
}

}  // namespace

VoltageDistribution randomSignSum(std::vector<double> magnitudes, double start,
                                  const VoltageGrid& grid, double& error) {
  const double fine = grid.bin / static_cast<double>(grid.fineness);
  // Smallest first: the support, and with it the cost of a step, grows last.
  std::sort(magnitudes.begin(), magnitudes.end());
  const std::int64_t startBin = std::llround(start / fine);
  error += std::fabs(static_cast<double>(startBin) * fine - start);
  VoltageDistribution sum = VoltageDistribution::PointAt(startBin);
  double running = 0.0;
  std::int64_t placed = 0;
  for (double magnitude : magnitudes) {
    running += magnitude;
    const std::int64_t reached = std::llround(running / fine);
    const std::int64_t shift = reached - placed;
    placed = reached;
    error += std::fabs(static_cast<double>(shift) * fine - magnitude);
    sum.AddSymmetricPair(shift);
  }
  std::int64_t moved = 0;
  VoltageDistribution onGrid = sum.Rebinned(grid.fineness, moved);
  error += static_cast<double>(moved) * fine;
  return onGrid;
}

namespace {

// One aggressor's crosstalk at a given phase.
VoltageDistribution aggressorAt(const std::vector<double>& pulse, std::int32_t phase,
                                std::int32_t samplesPerBit, double amplitude,
                                const VoltageGrid& grid, double& error) {
  const PhaseCursors cursors = cursorsAt(pulse, phase - samplesPerBit, samplesPerBit, amplitude);
  return randomSignSum(cursors.interference, 0.0, grid, error);
}

// One aggressor's crosstalk with its phase uniform over the bit.
VoltageDistribution averagedAggressor(const std::vector<double>& pulse, std::int32_t samplesPerBit,
                                      double amplitude, const VoltageGrid& grid, double& error) {
  VoltageDistribution mixture;
  double worstError = 0.0;
  for (std::int32_t phase = 0; phase < samplesPerBit; ++phase) {
    double phaseError = 0.0;
    mixture.Accumulate(aggressorAt(pulse, phase, samplesPerBit, amplitude, grid, phaseError),
                       1.0 / samplesPerBit);
    worstError = std::max(worstError, phaseError);
  }
  error += worstError;
  return mixture;
}

}  // namespace

VoltageDistribution crosstalk(const std::vector<std::vector<double>>& aggressors,
                              const StatisticalEyeSettings& settings, const VoltageGrid& grid,
                              double& error) {
  const std::int32_t s = settings.samplesPerBit;
  const double a = settings.amplitude;
  VoltageDistribution total = VoltageDistribution::PointAt(0);
  for (const auto& pulse : aggressors) {
    total = total.Plus(settings.crosstalkPhase == CrosstalkPhase::kAveraged
                           ? averagedAggressor(pulse, s, a, grid, error)
                           : aggressorAt(pulse, worstPhase(pulse, s, a), s, a, grid, error));
  }
  return total;
}

double widestLevel(const std::vector<double>& victim,
                   const std::vector<std::vector<double>>& aggressors, std::int64_t firstSample,
                   const StatisticalEyeSettings& settings) {
  const std::int32_t s = settings.samplesPerBit;
  double victimLevel = 0.0;
  for (std::int32_t phase = 0; phase < s; ++phase) {
    const PhaseCursors cursors = cursorsAt(victim, firstSample + phase, s, settings.amplitude);
    victimLevel = std::max(victimLevel, std::fabs(cursors.signal) + sumOf(cursors.interference));
  }
  double crosstalkLevel = 0.0;
  for (const auto& pulse : aggressors) {
    double largest = 0.0;
    for (std::int32_t phase = 0; phase < s; ++phase)
      largest = std::max(largest, peakDistortion(pulse, phase, s, settings.amplitude));
    crosstalkLevel += largest;
  }
  return victimLevel + crosstalkLevel;
}

}  // namespace norvask::host
