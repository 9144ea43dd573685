#include "host/analysis/RunAnalysis.h"

#include <algorithm>
#include <vector>

#include "host/analysis/PulseResponse.h"

namespace norvask::host {

namespace {

Status statisticalEyeOfRun(const ModelRun& run, const std::vector<double>& victim,
                           const LinkTiming& timing, const StatisticalRequest& request,
                           StatisticalEye& eye) {
  const double dt = timing.sampleInterval();
  std::vector<std::vector<double>> aggressors;
  for (std::size_t a = 1; a < run.columns.size(); ++a)
    aggressors.push_back(pulseResponse(run.columns[a], dt, timing.SamplesPerBit));
  StatisticalEyeSettings settings = request.settings;
  settings.samplesPerBit = timing.SamplesPerBit;
  // The same data levels as the worst-case figures: 1 V peak to peak.
  settings.amplitude = kEyeLogicLevel;
  // Jitter tails far below what the target BER can see change no figure.
  settings.berFloor = std::min(kDefaultBerFloor, request.targetBer / 1000.0);
  return eye.Compute(pulseResponse(victim, dt, timing.SamplesPerBit), aggressors, settings);
}

Status uprightEye(const std::vector<double>& victim, bool inverted,
                  const std::vector<std::vector<double>>& aggressors, const LinkTiming& timing,
                  EyeMetrics& eye) {
  Status measured =
      worstCaseEye(victim, aggressors, timing.sampleInterval(), timing.SamplesPerBit, eye);
  eye.inverted = inverted;
  if (inverted)
    eye.mainCursor = -eye.mainCursor;
  return measured.Within("eye analysis");
}

}  // namespace

std::vector<double> upright(const std::vector<double>& impulse, const LinkTiming& timing,
                            bool& inverted) {
  const std::vector<double> pulse =
      pulseResponse(impulse, timing.sampleInterval(), timing.SamplesPerBit);
  inverted = !pulse.empty() && pulse[mainCursorIndex(pulse)] < 0.0;
  std::vector<double> result(impulse);
  if (inverted) {
    for (double& sample : result)
      sample = -sample;
  }
  return result;
}

Status linkEye(const std::vector<double>& victim,
               const std::vector<std::vector<double>>& aggressors, const LinkTiming& timing,
               EyeMetrics& eye) {
  bool inverted = false;
  const std::vector<double> turned = upright(victim, timing, inverted);
  return uprightEye(turned, inverted, aggressors, timing, eye);
}

Status analyseRun(const ModelRun& run, const LinkTiming& timing, const StatisticalRequest& request,
                  RunFigures& figures) {
  const std::vector<std::vector<double>> aggressors(run.columns.begin() + 1, run.columns.end());
  bool inverted = false;
  const std::vector<double> victim = upright(run.columns[0], timing, inverted);
  if (Status eye = uprightEye(victim, inverted, aggressors, timing, figures.eye); !eye.ok())
    return eye;
  if (Status statistical = statisticalEyeOfRun(run, victim, timing, request, figures.statistical);
      !statistical.ok()) {
    return statistical;
  }
  figures.atBer = figures.statistical.AtBer(request.targetBer);
  return Status::Ok();
}

}  // namespace norvask::host
