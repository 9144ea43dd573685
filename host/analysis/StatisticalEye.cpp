#include "host/analysis/StatisticalEye.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>

#include "host/analysis/JitterTaps.h"
#include "host/analysis/PatternLevels.h"
#include "host/analysis/PulseResponse.h"
#include "host/analysis/VoltageDistribution.h"
#include "host/base/Limits.h"

namespace norvask::host {

namespace {

// Thresholds reach this many noise rms beyond the widest pattern, where the
// BER has settled at one half.
constexpr double kNoiseMargin = 8.0;
// The coarsest voltage bin, as a fraction of the noise rms.
constexpr double kBinsPerNoiseRms = 64.0;
// Cursors are summed on bins up to 64 times finer than the grid, with at most
// 2^16 fine bins across the grid.
constexpr std::int64_t kMaxFineness = 64;
constexpr std::int64_t kFineBudget = 1 << 16;

Status checkSettings(const StatisticalEyeSettings& s) {
  const bool valid = s.samplesPerBit >= 1 && s.amplitude > 0.0 && s.noiseRms >= 0.0 &&
                     s.randomJitterRms >= 0.0 && s.deterministicJitter >= 0.0 &&
                     s.binFraction > 0.0 && s.bins >= 0;
  if (!valid) {
    return Status::Error(
        "statistical eye: samples per bit >= 1, amplitude and bin fraction > 0, noise, jitter "
        "and bins >= 0 required");
  }
  if (s.randomJitterRms > kMaxRandomJitterRms || s.deterministicJitter > kMaxDeterministicJitter)
    return Status::Error(
        "statistical eye: random jitter above 1 UI rms or deterministic jitter above 2 UI");
  if (!(s.berFloor > 0.0 && s.berFloor < 0.5))
    return Status::Error("statistical eye: the BER floor must lie between 0 and 0.5");
  return Status::Ok();
}

double circularAt(const std::vector<double>& values, std::int64_t index) {
  const auto size = static_cast<std::int64_t>(values.size());
  return values[static_cast<std::size_t>(((index % size) + size) % size)];
}

// Steps from `from` in direction `step` (+1 or -1) that stay at or below the
// target, at most one lap less one.
std::int32_t runAtOrBelow(const std::vector<double>& values, std::int64_t from, std::int64_t step,
                          double target) {
  const auto size = static_cast<std::int32_t>(values.size());
  std::int32_t run = 0;
  while (run < size - 1 && circularAt(values, from + step * (run + 1)) <= target)
    ++run;
  return run;
}

// Where log10 BER crosses the target between an inside and an outside value,
// as a fraction of the step from inside. A BER of exactly zero (no noise, no
// jitter: every pattern clears the threshold) says nothing about where
// between the steps the first pattern fails; half way is off by at most half
// a step.
double crossingFraction(double inside, double outside, double target) {
  if (inside == 0.0)
    return 0.5;
  const double in = std::log10(inside);
  return (std::log10(target) - in) / (std::log10(outside) - in);
}

}  // namespace

double berFloorFor(double targetBer) {
  return std::max(std::min(kDefaultBerFloor, targetBer / 1000.0),
                  std::numeric_limits<double>::min());
}

Status StatisticalEye::Compute(const std::vector<double>& victimPulse,
                               const std::vector<std::vector<double>>& aggressorPulses,
                               const StatisticalEyeSettings& settings) {
  if (Status valid = checkSettings(settings); !valid.ok())
    return valid;
  const std::size_t peak = host::mainCursorIndex(victimPulse);
  if (victimPulse.empty() || !(victimPulse[peak] > 0.0))
    return Status::Error("statistical eye: the victim pulse has no positive main cursor");
  phases_ = settings.samplesPerBit;
  mainCursor_ = static_cast<std::int64_t>(peak);
  const std::int64_t firstSample = mainCursor_ - phases_ / 2;
  const double widest = widestLevel(victimPulse, aggressorPulses, firstSample, settings);
  if (Status sized = SizeGrid(widest, victimPulse[peak], settings); !sized.ok())
    return sized;
  // As fine as the budget allows, so that rounding each cursor costs little.
  const VoltageGrid grid{binWidth_,
                         std::clamp<std::int64_t>(kFineBudget / thresholds_, 1, kMaxFineness)};
  double crosstalkError = 0.0;
  const VoltageDistribution xtalk = crosstalk(aggressorPulses, settings, grid, crosstalkError);
  // A jittered sample lands up to `reach` phases outside the bit, where it
  // reads the neighbouring bits' cursors: one row for each such phase too.
  std::int64_t reach = 0;
  const std::vector<double> taps = jitterTaps(settings, reach);
  const std::int64_t rows = phases_ + 2 * reach;
  if (static_cast<double>(rows) * thresholds_ > static_cast<double>(kMaxBerMapValues)) {
    return Status::Error("statistical eye: " + std::to_string(rows) + " sampling phases x " +
                         std::to_string(thresholds_) + " thresholds exceed the limit of " +
                         std::to_string(kMaxBerMapValues) + " BER values");
  }
  ber_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(thresholds_), 0.0);
  levelErrorBound_ = 0.0;
  for (std::int64_t row = 0; row < rows; ++row) {
    const PhaseCursors cursors =
        cursorsAt(victimPulse, firstSample - reach + row, phases_, settings.amplitude);
    double levelError = 0.0;
    // The received level for a transmitted 1; a 0 gives its mirror image.
    const VoltageDistribution one =
        randomSignSum(cursors.interference, cursors.signal, grid, levelError).Plus(xtalk);
    levelErrorBound_ = std::max(levelErrorBound_, levelError + crosstalkError);
    FillRow(row, one, settings.noiseRms / binWidth_);
  }
  ApplyJitter(taps, reach);
  return Status::Ok();
}

Status StatisticalEye::SizeGrid(double widest, double mainCursor,
                                const StatisticalEyeSettings& settings) {
  // Noise far above the eye needs no finer bins than a fraction of its rms,
  // and with them the grid stays the same size however large the noise.
  binWidth_ = settings.bins > 0 ? 2.0 * widest / settings.bins
                                : std::max(settings.binFraction * settings.amplitude * mainCursor,
                                           settings.noiseRms / kBinsPerNoiseRms);
  const double reach = (widest + kNoiseMargin * settings.noiseRms) / binWidth_;
  if (!(reach < static_cast<double>(kMaxVoltageBins))) {
    return Status::Error("statistical eye: the voltage grid would exceed " +
                         std::to_string(kMaxVoltageBins) + " bins");
  }
  // Thresholds b + 1/2 for bins b = -halfSpan - 1 .. halfSpan: symmetric about 0.
  const auto halfSpan = static_cast<std::int64_t>(std::ceil(reach)) + 1;
  lowestThresholdBin_ = -halfSpan - 1;
  thresholds_ = static_cast<std::int32_t>(2 * halfSpan + 2);
  return Status::Ok();
}

void StatisticalEye::FillRow(std::int64_t row, const VoltageDistribution& one, double noiseBins) {
  const std::vector<double> below =
      one.LowerTail(lowestThresholdBin_, lowestThresholdBin_ + thresholds_ - 1, noiseBins);
  double* ber = &ber_[static_cast<std::size_t>(row) * static_cast<std::size_t>(thresholds_)];
  for (std::int32_t t = 0; t < thresholds_; ++t) {
    // A 1 errs below the threshold; a 0 above it, which by symmetry is a 1
    // below the mirrored threshold -(b + 1/2): index T - 1 - t.
    ber[t] = 0.5 * (below[static_cast<std::size_t>(t)] +
                    below[static_cast<std::size_t>(thresholds_ - 1 - t)]);
  }
}

void StatisticalEye::ApplyJitter(const std::vector<double>& taps, std::int64_t reach) {
  if (reach == 0)
    return;
  const auto width = static_cast<std::size_t>(thresholds_);
  std::vector<double> jittered(static_cast<std::size_t>(phases_) * width, 0.0);
  for (std::int64_t offset = -reach; offset <= reach; ++offset) {
    const double weight = taps[static_cast<std::size_t>(offset + reach)];
    if (weight == 0.0)
      continue;
    // A sample taken `offset` steps late at phase p reads row p + offset of
    // the extended rows, which start `reach` phases before the bit.
    for (std::int64_t phase = 0; phase < phases_; ++phase) {
      const double* from = &ber_[static_cast<std::size_t>(phase + offset + reach) * width];
      double* to = &jittered[static_cast<std::size_t>(phase) * width];
      for (std::size_t t = 0; t < width; ++t)
        to[t] += weight * from[t];
    }
  }
  ber_.swap(jittered);
}

double StatisticalEye::PhaseOffset(std::int32_t phase) const {
  return static_cast<double>(phase - phases_ / 2) / phases_;
}

double StatisticalEye::ThresholdVoltage(std::int32_t threshold) const {
  return (static_cast<double>(lowestThresholdBin_ + threshold) + 0.5) * binWidth_;
}

std::vector<double> StatisticalEye::Bathtub(std::int32_t threshold) const {
  std::vector<double> curve(static_cast<std::size_t>(phases_));
  for (std::int32_t phase = 0; phase < phases_; ++phase)
    curve[static_cast<std::size_t>(phase)] = Ber(phase, threshold);
  return curve;
}

EyeAtBer StatisticalEye::AtBer(double targetBer) const {
  EyeAtBer eye;
  std::int32_t bestRun = 0;
  for (std::int32_t phase = 0; phase < phases_; ++phase) {
    std::int32_t run = 0;
    for (std::int32_t t = 0; t < thresholds_; ++t) {
      run = Ber(phase, t) <= targetBer ? run + 1 : 0;
      if (run > bestRun) {
        bestRun = run;
        eye.bestPhase = phase;
        eye.bestThreshold = t - (run - 1) / 2;
      }
    }
  }
  if (bestRun == 0)
    return eye;
  eye.open = true;
  eye.height = bestRun * binWidth_;
  FindEdges(Bathtub(eye.bestThreshold), targetBer, eye);
  return eye;
}

void StatisticalEye::FindEdges(const std::vector<double>& bathtub, double targetBer,
                               EyeAtBer& eye) const {
  const std::int32_t phase = eye.bestPhase;
  const std::int32_t right = runAtOrBelow(bathtub, phase, 1, targetBer);
  if (right == phases_ - 1) {
    // Open at every phase: one whole bit, centred on the best phase.
    eye.left = -0.5;
    eye.right = 0.5;
  } else {
    const std::int32_t left = runAtOrBelow(bathtub, phase, -1, targetBer);
    eye.right = (right + crossingFraction(circularAt(bathtub, phase + right),
                                          circularAt(bathtub, phase + right + 1), targetBer)) /
                phases_;
    eye.left = -(left + crossingFraction(circularAt(bathtub, phase - left),
                                         circularAt(bathtub, phase - left - 1), targetBer)) /
               phases_;
  }
  eye.width = eye.right - eye.left;
}

}  // namespace norvask::host
