#include "host/analysis/RunAnalysis.h"

#include <algorithm>
#include <vector>

#include "host/analysis/PulseResponse.h"

namespace norvask::host {

namespace {

// The pulse responses the statistical eye reads: the victim's first.
std::vector<std::vector<double>> pulsesOfRun(const ModelRun& run, const std::vector<double>& victim,
                                             const LinkTiming& timing) {
  const double dt = timing.sampleInterval();
  std::vector<std::vector<double>> pulses{pulseResponse(victim, dt, timing.SamplesPerBit)};
  for (std::size_t a = 1; a < run.columns.size(); ++a)
    pulses.push_back(pulseResponse(run.columns[a], dt, timing.SamplesPerBit));
  return pulses;
}

Status statisticalEyeOfRun(const std::vector<std::vector<double>>& pulses, const LinkTiming& timing,
                           const StatisticalRequest& request, StatisticalEye& eye) {
  StatisticalEyeSettings settings = request.settings;
  settings.samplesPerBit = timing.SamplesPerBit;
  // The same data levels as the worst-case figures: 1 V peak to peak.
  settings.amplitude = kEyeLogicLevel;
  // Jitter tails far below what the target BER can see change no figure.
  settings.berFloor = berFloorFor(request.targetBer);
  const std::vector<std::vector<double>> aggressors(pulses.begin() + 1, pulses.end());
  return eye.Compute(pulses[0], aggressors, settings);
}

// Peak-distortion eye height, 1 V peak to peak, of a sample at `position` of
// the victim's pulse, every aggressor at the same phase.
double worstCaseHeightAt(const std::vector<std::vector<double>>& pulses, std::int64_t position,
                         std::int32_t samplesPerBit) {
  const PhaseCursors cursors = cursorsAt(pulses[0], position, samplesPerBit, kEyeLogicLevel);
  double level = cursors.signal;
  for (double value : cursors.interference)
    level -= value;
  std::int64_t phase = position % samplesPerBit;
  if (phase < 0)
    phase += samplesPerBit;
  for (std::size_t a = 1; a < pulses.size(); ++a) {
    level -=
        peakDistortion(pulses[a], static_cast<std::int32_t>(phase), samplesPerBit, kEyeLogicLevel);
  }
  return 2.0 * level;
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
  if (std::all_of(victim.begin(), victim.end(), [](double sample) { return sample == 0.0; }))
    return Status::Error(
        "the link's response (channel and model) is zero everywhere; there is no eye");
  if (Status eye = uprightEye(victim, inverted, aggressors, timing, figures.eye); !eye.ok())
    return eye;
  const std::vector<std::vector<double>> pulses = pulsesOfRun(run, victim, timing);
  if (Status statistical = statisticalEyeOfRun(pulses, timing, request, figures.statistical);
      !statistical.ok()) {
    return statistical;
  }
  figures.atBer = figures.statistical.AtBer(request.targetBer);
  const StatisticalEye& eye = figures.statistical;
  // A closed eye has no centre of its own: the main cursor's phase stands in.
  figures.centrePhase = figures.atBer.open ? figures.atBer.bestPhase : eye.phases() / 2;
  figures.centre = eye.mainCursorIndex() - eye.phases() / 2 + figures.centrePhase;
  figures.worstCaseAtCentre = worstCaseHeightAt(pulses, figures.centre, timing.SamplesPerBit);
  return Status::Ok();
}

}  // namespace norvask::host
