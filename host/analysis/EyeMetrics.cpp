#include "host/analysis/EyeMetrics.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "dsp/ImpulseOperations.h"

namespace norvask::host {

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
  for (std::size_t i = 0; i < pulse.size(); ++i) {
    pulse[i] = stepAt(i) - (i >= width ? stepAt(i - width) : 0.0);
  }
  return pulse;
}

bool EyeMetrics::defined() const {
  // The analysis starts its searches from +-1e40; a level that large never
  // comes from a real response.
  constexpr double kPlaceholder = 1e30;
  return std::isfinite(wcUpperLevel) && std::isfinite(bcUpperLevel) &&
         std::abs(wcUpperLevel) < kPlaceholder && std::abs(bcUpperLevel) < kPlaceholder &&
         bcUpperLevel != 0.0;
}

void includeCrosstalk(const std::vector<std::vector<double>>& aggressors, double sampleInterval,
                      std::int32_t samplesPerBit, EyeMetrics& eye) {
  const auto phase = static_cast<std::size_t>(eye.mainCursorIndex % samplesPerBit);
  const auto bit = static_cast<std::size_t>(samplesPerBit);
  double peak = 0.0;
  for (const auto& aggressor : aggressors) {
    const std::vector<double> pulse = pulseResponse(aggressor, sampleInterval, samplesPerBit);
    for (std::size_t i = phase; i < pulse.size(); i += bit)
      peak += kEyeLogicLevel * std::abs(pulse[i]);
  }
  eye.wcUpperLevel -= peak;
  eye.bcUpperLevel += peak;
  eye.crosstalk += 2.0 * peak;
}

bool measureEye(const std::vector<double>& impulse, double sampleInterval,
                std::int32_t samplesPerBit, EyeMetrics& eye, std::string& error) {
  std::vector<double> scaled(impulse);
  for (auto& sample : scaled)
    sample *= sampleInterval;
  std::ostringstream messages;
  ImpulseOperations operations;
  if (!operations.determineEyeBcWcUpperLevels(scaled, samplesPerBit, kEyeLogicLevel,
                                              eye.bcUpperLevel, eye.wcUpperLevel, messages)) {
    error = messages.str();
    if (!error.empty() && error.back() == '\n')
      error.pop_back();
    return false;
  }
  const std::vector<double> pulse = pulseResponse(impulse, sampleInterval, samplesPerBit);
  eye.mainCursorIndex = 0;
  eye.mainCursor = pulse.empty() ? 0.0 : pulse[0];
  for (std::size_t i = 1; i < pulse.size(); ++i) {
    if (pulse[i] > eye.mainCursor) {
      eye.mainCursor = pulse[i];
      eye.mainCursorIndex = static_cast<std::int64_t>(i);
    }
  }
  return true;
}

}  // namespace norvask::host
