#include "blocks/ImpulseToWorstCaseEye.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "dsp/SettingsCheck.h"

namespace norvask {

namespace {

enum class Bound { kWorst, kBest };

// Received signal of one isolated bit of amplitude `logicLevel` lasting
// `samplesPerBit` samples: the step response minus itself delayed by one bit.
std::vector<double> pulseResponse(const std::vector<double>& impulse, std::int32_t samplesPerBit,
                                  double logicLevel) {
  std::vector<double> step(impulse.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < impulse.size(); ++i) {
    sum = (i == 0) ? impulse[0] : sum + impulse[i];
    step[i] = sum;
  }
  const std::size_t last = impulse.size() - 1;
  const std::size_t bit = static_cast<std::size_t>(samplesPerBit);
  std::vector<double> pulse(impulse.size() + bit);
  for (std::size_t i = 0; i < pulse.size(); ++i) {
    pulse[i] = logicLevel * step[std::min(i, last)];
    if (i >= bit)
      pulse[i] -= logicLevel * step[i - bit];
  }
  return pulse;
}

// First index of the largest value above `floor` (a value counts only when
// strictly greater than every one before it); 0 when none is above `floor`.
std::int64_t firstMaximumAbove(const std::vector<double>& values, double floor) {
  double highest = floor;
  std::int64_t index = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] > highest) {
      highest = values[i];
      index = static_cast<std::int64_t>(i);
    }
  }
  return index;
}

// Level sampled at pulse position `position` of the cursor bit when every other
// bit sharing that sampling phase is chosen (+1 or -1) to pull the level down
// (worst case) or up (best case). Positions outside the pulse carry no cursor
// term, only interference.
double peakDistortionLevel(const std::vector<double>& pulse, std::int64_t position,
                           std::int32_t samplesPerBit, Bound bound) {
  std::int64_t phase = position % samplesPerBit;
  if (phase < 0)
    phase += samplesPerBit;
  const auto length = static_cast<std::int64_t>(pulse.size());
  double level = 0.0;
  for (std::int64_t j = phase; j < length; j += samplesPerBit) {
    const double value = pulse[static_cast<std::size_t>(j)];
    const bool harmful = (bound == Bound::kWorst) ? value > 0.0 : value < 0.0;
    if (j != position && harmful) {
      level -= value;
    } else {
      level += value;
    }
  }
  return level;
}

// Fills the two-unit-interval window starting at pulse position `start`; the
// lower levels mirror the upper ones.
void fillWindow(const std::vector<double>& pulse, std::int64_t start, std::int32_t samplesPerBit,
                Bound bound, std::vector<double>& upper, std::vector<double>& lower) {
  const std::size_t size = 2 * static_cast<std::size_t>(samplesPerBit);
  upper.resize(size);
  lower.resize(size);
  for (std::size_t i = 0; i < size; ++i) {
    upper[i] =
        peakDistortionLevel(pulse, start + static_cast<std::int64_t>(i), samplesPerBit, bound);
    lower[i] = -upper[i];
  }
}

// First index of the smallest value (0 when no value is below 1e40).
std::int32_t firstMinimum(const std::vector<double>& values) {
  double lowest = 1e40;
  std::int32_t index = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] < lowest) {
      lowest = values[i];
      index = static_cast<std::int32_t>(i);
    }
  }
  return index;
}

void negate(std::vector<double>* values) {
  if (values == nullptr)
    return;
  for (double& value : *values)
    value = -value;
}

void divide(std::vector<double>& values, double divisor) {
  for (double& value : values)
    value /= divisor;
}

}  // namespace

bool ImpulseToWorstCaseEye::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  ready_ = CheckSettings(messages);
  // The working copy is prepared whatever the checks found, so its polarity
  // flag reflects the impulse even when the settings are refused.
  PrepareWorkingCopy();
  return ready_;
}

bool ImpulseToWorstCaseEye::CheckSettings(std::ostream& messages) const {
  SettingsCheck check(messages);
  check.Expect(SamplesPerBit >= 1, "SamplesPerBit must be an integer >= 1.\n");
  check.Expect(!(LogicLevel <= 0.0), "LogicLevel must be > 0.\n");
  check.Expect(InUnsignedRange(Normalization, 1), "Normalization must be either 0 or 1.\n");
  check.Expect(WcUpperLevels != nullptr && WcLowerLevels != nullptr,
               "WcUpperLevels and WcLowerLevels must both be given.\n");
  return check.passed();
}

void ImpulseToWorstCaseEye::PrepareWorkingCopy() {
  impulse_.clear();
  if (Impulse != nullptr)
    impulse_ = *Impulse;
  // Zeros after the response's end would only lengthen every sum; NaN is kept.
  while (impulse_.size() > 1 && impulse_.back() == 0.0)
    impulse_.pop_back();

  // The analysis assumes a positive main cursor; a response whose dominant
  // value is negative is analysed negated and its levels negated back.
  ImpulseInverted = 0;
  if (impulse_.empty())
    return;
  std::size_t peak = 0;
  for (std::size_t i = 1; i < impulse_.size(); ++i) {
    if (std::fabs(impulse_[i]) > std::fabs(impulse_[peak]))
      peak = i;
  }
  if (impulse_[peak] < 0.0) {
    ImpulseInverted = 1;
    for (double& value : impulse_)
      value = -value;
  }
}

bool ImpulseToWorstCaseEye::Initialize(std::ostream& messages) {
  if (!ready_) {
    messages << "ImpulseToWorstCaseEye must be set up with valid settings before Initialize.\n";
    return false;
  }
  if (impulse_.empty()) {
    messages << "There must be at least one Impulse array value.\n";
    return false;
  }
  const std::vector<double> pulse = pulseResponse(impulse_, SamplesPerBit, LogicLevel);
  // The main cursor: the pulse's first positive peak.
  const std::int64_t cursor = firstMaximumAbove(pulse, 0.0);

  // The cursor sits at window index S - 1 until the window moves onto the eye.
  std::int64_t windowStart = cursor - SamplesPerBit + 1;
  fillWindow(pulse, windowStart, SamplesPerBit, Bound::kWorst, *WcUpperLevels, *WcLowerLevels);
  LocateEye();
  const std::int32_t halfBit = SamplesPerBit / 2;
  if (EyeCenterOffset != 0 && EyeCenterOffset >= -halfBit && EyeCenterOffset < halfBit) {
    windowStart += EyeCenterOffset;
    fillWindow(pulse, windowStart, SamplesPerBit, Bound::kWorst, *WcUpperLevels, *WcLowerLevels);
  }
  FindZeroCrossings();
  EyeCenterPhase = EyeCenterOffset + static_cast<std::int32_t>(cursor % SamplesPerBit);

  if (BcUpperLevels != nullptr && BcLowerLevels != nullptr) {
    fillWindow(pulse, windowStart, SamplesPerBit, Bound::kBest, *BcUpperLevels, *BcLowerLevels);
    if (Normalization == 1)
      Normalize();
  }
  if (ImpulseInverted == 1)
    RestorePolarity();
  return true;
}

void ImpulseToWorstCaseEye::LocateEye() {
  const std::vector<double>& upper = *WcUpperLevels;
  const std::int32_t best = firstMinimum(*WcLowerLevels);
  if (upper[best] < 0.0) {
    // Closed even at its best position: the eye shrinks to that point.
    EyeLeftIndex = EyeRightIndex = EyeCenterIndex = best;
  } else {
    EyeLeftIndex = 0;
    for (std::int32_t i = best; i >= 1; --i) {
      if (upper[i] < 0.0) {
        EyeLeftIndex = i + 1;
        break;
      }
    }
    // An eye still open at the window's right end is bounded by the window,
    // just as one open at its left end is: the last index is the right edge.
    const auto size = static_cast<std::int32_t>(upper.size());
    EyeRightIndex = size - 1;
    for (std::int32_t i = best; i < size; ++i) {
      if (upper[i] < 0.0) {
        EyeRightIndex = i - 1;
        break;
      }
    }
    EyeCenterIndex = (EyeLeftIndex + EyeRightIndex) / 2;
  }
  EyeCenterOffset = EyeCenterIndex - SamplesPerBit + 1;
}

void ImpulseToWorstCaseEye::FindZeroCrossings() {
  const std::vector<double>& upper = *WcUpperLevels;
  EyeRiseIndex = -1;
  EyeFallIndex = -1;
  for (std::size_t i = 1; i < upper.size(); ++i) {
    const auto index = static_cast<std::int32_t>(i);
    if (EyeRiseIndex < 0 && upper[i] >= 0.0 && upper[i - 1] < 0.0)
      EyeRiseIndex = index;
    if (EyeFallIndex < 0 && upper[i] < 0.0 && upper[i - 1] >= 0.0)
      EyeFallIndex = index - 1;
  }
}

void ImpulseToWorstCaseEye::Normalize() {
  const double bestCase = (*BcUpperLevels)[firstMaximumAbove(*WcUpperLevels, -1e40)];
  divide(*BcUpperLevels, bestCase);
  divide(*BcLowerLevels, bestCase);
  divide(*WcUpperLevels, bestCase);
  divide(*WcLowerLevels, bestCase);
}

void ImpulseToWorstCaseEye::RestorePolarity() {
  // Every level array the owner gave is negated, a lone best-case one too
  // (Negate skips the absent ones).
  negate(WcUpperLevels);
  negate(WcLowerLevels);
  negate(BcUpperLevels);
  negate(BcLowerLevels);
}

}  // namespace norvask
