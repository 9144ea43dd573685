#include "host/analysis/EyeMetrics.h"

#include <cmath>
#include <sstream>

#include "dsp/ImpulseOperations.h"
#include "host/analysis/PulseResponse.h"

namespace norvask::host {

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
  const auto phase = static_cast<std::int32_t>(eye.mainCursorIndex % samplesPerBit);
  double peak = 0.0;
  for (const auto& aggressor : aggressors) {
    const std::vector<double> pulse = pulseResponse(aggressor, sampleInterval, samplesPerBit);
    peak += peakDistortion(pulse, phase, samplesPerBit, kEyeLogicLevel);
  }
  eye.wcUpperLevel -= peak;
  eye.bcUpperLevel += peak;
  eye.crosstalk += 2.0 * peak;
}

Status measureEye(const std::vector<double>& impulse, double sampleInterval,
                  std::int32_t samplesPerBit, EyeMetrics& eye) {
  std::vector<double> scaled(impulse);
  for (auto& sample : scaled)
    sample *= sampleInterval;
  std::ostringstream messages;
  ImpulseOperations operations;
  if (!operations.determineEyeBcWcUpperLevels(scaled, samplesPerBit, kEyeLogicLevel,
                                              eye.bcUpperLevel, eye.wcUpperLevel, messages)) {
    return Status::Error(messages.str());
  }
  const std::vector<double> pulse = pulseResponse(impulse, sampleInterval, samplesPerBit);
  const std::size_t peak = mainCursorIndex(pulse);
  eye.mainCursorIndex = static_cast<std::int64_t>(peak);
  eye.mainCursor = pulse.empty() ? 0.0 : pulse[peak];
  return Status::Ok();
}

Status worstCaseEye(const std::vector<double>& victim,
                    const std::vector<std::vector<double>>& aggressors, double sampleInterval,
                    std::int32_t samplesPerBit, EyeMetrics& eye) {
  Status measured = measureEye(victim, sampleInterval, samplesPerBit, eye);
  if (measured.ok())
    includeCrosstalk(aggressors, sampleInterval, samplesPerBit, eye);
  return measured;
}

}  // namespace norvask::host
