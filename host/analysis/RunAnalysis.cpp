#include "host/analysis/RunAnalysis.h"

#include <vector>

#include "host/analysis/PulseResponse.h"

namespace norvask::host {

namespace {

Status statisticalEyeOfRun(const ModelRun& run, const LinkTiming& timing,
                           const StatisticalRequest& request, StatisticalEye& eye) {
  const double dt = timing.sampleInterval();
  std::vector<std::vector<double>> aggressors;
  for (std::size_t a = 1; a < run.columns.size(); ++a)
    aggressors.push_back(pulseResponse(run.columns[a], dt, timing.SamplesPerBit));
  StatisticalEyeSettings settings = request.settings;
  settings.samplesPerBit = timing.SamplesPerBit;
  // The same data levels as the worst-case figures: 1 V peak to peak.
  settings.amplitude = kEyeLogicLevel;
  return eye.Compute(pulseResponse(run.columns[0], dt, timing.SamplesPerBit), aggressors, settings);
}

}  // namespace

Status analyseRun(const ModelRun& run, const LinkTiming& timing, const StatisticalRequest& request,
                  RunFigures& figures) {
  const std::vector<std::vector<double>> aggressors(run.columns.begin() + 1, run.columns.end());
  if (Status eye = worstCaseEye(run.columns[0], aggressors, timing.sampleInterval(),
                                timing.SamplesPerBit, figures.eye);
      !eye.ok()) {
    return eye.Within("eye analysis");
  }
  if (Status statistical = statisticalEyeOfRun(run, timing, request, figures.statistical);
      !statistical.ok()) {
    return statistical;
  }
  figures.atBer = figures.statistical.AtBer(request.targetBer);
  return Status::Ok();
}

}  // namespace norvask::host
