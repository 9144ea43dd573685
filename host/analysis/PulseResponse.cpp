#include "host/analysis/PulseResponse.h"

#include <algorithm>
#include <cmath>

namespace norvask::host {

namespace {

double sampleAt(const std::vector<double>& pulse, std::int64_t index) {
  if (index < 0 || index >= static_cast<std::int64_t>(pulse.size()))
    return 0.0;
  return pulse[static_cast<std::size_t>(index)];
}

}  // namespace

std::vector<double> pulseResponse(const std::vector<double>& impulse, double sampleInterval,
                                  std::int32_t samplesPerBit) {
  const std::size_t width = static_cast<std::size_t>(samplesPerBit);
  std::vector<double> step(impulse.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < impulse.size(); ++i) {
    sum += impulse[i] * sampleInterval;
    step[i] = sum;
  }
  // Past its end the step response holds its final value.
  auto stepAt = [&step](std::size_t i) {
    return step.empty() ? 0.0 : step[std::min(i, step.size() - 1)];
  };
  std::vector<double> pulse(impulse.size() + width);
  for (std::size_t i = 0; i < pulse.size(); ++i)
    pulse[i] = stepAt(i) - (i >= width ? stepAt(i - width) : 0.0);
  return pulse;
}

std::size_t mainCursorIndex(const std::vector<double>& pulse) {
  std::size_t peak = 0;
  for (std::size_t i = 1; i < pulse.size(); ++i) {
    const double magnitude = std::fabs(pulse[i]), largest = std::fabs(pulse[peak]);
    if (magnitude > largest || (magnitude == largest && pulse[peak] < 0.0 && pulse[i] > 0.0))
      peak = i;
  }
  return peak;
}

PhaseCursors cursorsAt(const std::vector<double>& pulse, std::int64_t position,
                       std::int32_t samplesPerBit, double amplitude) {
  PhaseCursors cursors;
  cursors.signal = amplitude * sampleAt(pulse, position);
  const auto length = static_cast<std::int64_t>(pulse.size());
  std::int64_t first = position % samplesPerBit;
  if (first < 0)
    first += samplesPerBit;
  for (std::int64_t i = first; i < length; i += samplesPerBit) {
    const double value = pulse[static_cast<std::size_t>(i)];
    if (i != position && value != 0.0)
      cursors.interference.push_back(amplitude * std::fabs(value));
  }
  return cursors;
}

double peakDistortion(const std::vector<double>& pulse, std::int32_t phase,
                      std::int32_t samplesPerBit, double amplitude) {
  // Position -1 bit is no cursor, so every cursor of the phase counts.
  const PhaseCursors cursors = cursorsAt(pulse, phase - samplesPerBit, samplesPerBit, amplitude);
  double sum = 0.0;
  for (double value : cursors.interference)
    sum += value;
  return sum;
}

std::int32_t worstPhase(const std::vector<double>& pulse, std::int32_t samplesPerBit,
                        double amplitude) {
  std::int32_t worst = 0;
  double largest = -1.0;
  for (std::int32_t phase = 0; phase < samplesPerBit; ++phase) {
    const double distortion = peakDistortion(pulse, phase, samplesPerBit, amplitude);
    if (distortion > largest) {
      largest = distortion;
      worst = phase;
    }
  }
  return worst;
}

}  // namespace norvask::host
