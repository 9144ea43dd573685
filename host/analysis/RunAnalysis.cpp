#include "host/analysis/RunAnalysis.h"

#include <vector>

#include "host/analysis/EyeMetrics.h"

namespace norvask::host {

bool statisticalEyeOfRun(const ModelRun& run, const LinkTiming& timing,
                         const StatisticalRequest& request, StatisticalEye& eye,
                         std::string& error) {
  const double dt = timing.sampleInterval();
  std::vector<std::vector<double>> aggressors;
  for (std::size_t a = 1; a < run.columns.size(); ++a)
    aggressors.push_back(pulseResponse(run.columns[a], dt, timing.SamplesPerBit));
  StatisticalEyeSettings settings = request.settings;
  settings.samplesPerBit = timing.SamplesPerBit;
  // The same data levels as the worst-case figures: 1 V peak to peak.
  settings.amplitude = kEyeLogicLevel;
  return eye.Compute(pulseResponse(run.columns[0], dt, timing.SamplesPerBit), aggressors, settings,
                     error);
}

}  // namespace norvask::host
