#include "blocks/FIRwStepRespList.h"

#include <cmath>
#include <sstream>

#include "dsp/ImpulseOperations.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

namespace {

constexpr double kNoEyeYet = -1e40;
constexpr const char* kAdaptReport =
    "Adaptation of the channel+equalizer for best eye opening results in step response data "
    "index = ";

}  // namespace

bool FIRwStepRespList::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  const bool settingsValid = CheckSettings(messages);

  // The gain follows Gain_dB unless Initialize is to adapt it, judged by the
  // flag as the owner set it (bypass mode below may clear it).
  gain_ = AdaptForLogicLevel == 0 ? std::pow(10.0, Gain_dB / 20.0) : 1.0;
  if (AdaptStepRespIndex == 1)
    StepRespIndex = 1;  // the search starts there
  HandOverSettings();

  if (!settingsValid)
    return false;
  // With a search, the sub-block is set up once per candidate in Initialize.
  if (AdaptStepRespIndex == 1)
    return true;
  return interpolation_.Setup(trace_.stream(), messages);
}

bool FIRwStepRespList::CheckSettings(std::ostream& messages) const {
  SettingsCheck check(messages);
  check.Expect(ChannelImpulse != nullptr && !ChannelImpulse->empty(),
               "ChannelImpulse vector size must be > 0.\n");
  check.Expect(BitRate > 0, "BitRate must be > 0.\n");
  check.Expect(SamplesPerBit >= 4, "SamplesPerBit must be and integer >= 4.\n");
  if (AdaptStepRespIndex == 0) {
    check.Expect(StepRespIndex >= 1 && StepRespIndex <= NumStepResp,
                 "StepRespIndex must be an integer in the range [1, ", NumStepResp, "].\n");
  }
  check.Expect(AdaptForLogicLevel <= 1, "AdaptForLogicLevel must be an integer either 0 or 1.\n");
  check.Expect(LogicLevel > 0, "LogicLevel must be > 0.\n");
  check.Expect(AdaptStepRespIndex <= 1, "AdaptStepRespIndex must be an integer either 0 or 1.\n");
  return check.passed();
}

void FIRwStepRespList::HandOverSettings() {
  interpolation_.BitRate = BitRate;
  interpolation_.SamplesPerBit = SamplesPerBit;
  interpolation_.StepRespIndex = StepRespIndex;
  interpolation_.EnableInterpolation = 1;
  interpolation_.InterpolationType = InterpolationType;
  interpolation_.DifferentiateData = 1;
  // Initialize and Run treat every nonzero OutputStepRespData as bypass mode,
  // so Setup does the same rather than leave the two phases disagreeing.
  if (IsBypass()) {
    interpolation_.EnableInterpolation = 0;
    interpolation_.DifferentiateData = 0;
    AdaptStepRespIndex = 0;
    AdaptForLogicLevel = 0;
  }
  fir_.InitialValue = 0.0;
  interpolation_.NumStepResp = NumStepResp;
  interpolation_.StepResp_data_values = StepResp_data_values;
  interpolation_.SharedTimeAxis = SharedTimeAxis;
  fir_.Taps = &interpolation_.yDataOut;
}

bool FIRwStepRespList::Initialize(std::ostream& messages) {
  const bool ok = Adapt(messages);
  sampleCount_ = 0;
  timeStep_ = (1.0 / BitRate) / SamplesPerBit;
  return ok;
}

bool FIRwStepRespList::Adapt(std::ostream& messages) {
  if (AdaptStepRespIndex == 0 && !PrepareSelectedResponse(messages))
    return false;
  invertImpulse_ = false;
  if (AdaptStepRespIndex == 1 || AdaptForLogicLevel == 1)
    PrepareEvaluationImpulse();

  EyeLevels searched;
  bool found = false;
  if (AdaptStepRespIndex == 1 && !SearchStepResponses(messages, searched, found))
    return false;
  if (AdaptForLogicLevel != 1)
    return true;
  return AdaptGainToLogicLevel(messages, found ? &searched : nullptr);
}

bool FIRwStepRespList::PrepareSelectedResponse(std::ostream& messages) {
  if (!interpolation_.Initialize(messages))
    return false;
  if (IsBypass())
    return true;
  if (!fir_.Setup(trace_.stream(), messages))
    return false;
  fir_.Initialize(messages);
  return true;
}

// Builds the impulse the adaptations evaluate: the channel without its
// trailing zeros, in the equalizer's sample units, positive at its peak.
void FIRwStepRespList::PrepareEvaluationImpulse() {
  const std::vector<double>& channel = *ChannelImpulse;
  std::size_t length = channel.size();
  while (length > 1 && channel[length - 1] == 0.0)
    --length;
  impulseLength_ = static_cast<std::int32_t>(length);

  evalSampleInterval_ = 1.0 / (SamplesPerBit * BitRate);
  evalResponse_.resize(length);
  double peak = 0.0;
  for (std::size_t i = 0; i < length; ++i) {
    evalResponse_[i] = evalSampleInterval_ * channel[i];
    if (std::fabs(evalResponse_[i]) > std::fabs(peak))
      peak = evalResponse_[i];
  }
  invertImpulse_ = peak < 0.0;
}

void FIRwStepRespList::FillEvaluationImpulse() {
  const double sign = invertImpulse_ ? -1.0 : 1.0;
  for (std::int32_t i = 0; i < impulseLength_; ++i) {
    evalResponse_[i] = sign * (evalSampleInterval_ * (*ChannelImpulse)[i]);
  }
}

void FIRwStepRespList::filterImpulseThroughFIR(std::vector<double>& response, std::int64_t n,
                                               std::ostream& messages) {
  const std::size_t total = static_cast<std::size_t>(n) + interpolation_.yDataOut.size();
  response.resize(total);
  for (std::size_t i = 0; i < total; ++i) {
    fir_.In = static_cast<std::int64_t>(i) < n ? response[i] : 0.0;
    fir_.Run(messages);
    response[i] = fir_.Out;
  }
}

bool FIRwStepRespList::MeasureEye(std::ostream& messages, EyeLevels& levels) {
  ImpulseOperations operations(trace_.stream());
  return operations.determineEyeBcWcUpperLevels(evalResponse_, SamplesPerBit, LogicLevel,
                                                levels.bcUpper, levels.wcUpper, messages);
}

bool FIRwStepRespList::SetUpCandidate(std::int32_t index, std::ostream& messages) {
  interpolation_.StepRespIndex = index;
  return interpolation_.Setup(trace_.stream(), messages) && interpolation_.Initialize(messages) &&
         fir_.Setup(trace_.stream(), messages);
}

// Tries every step response with the channel and keeps the one whose eye
// opening ratio (worst-case over best-case upper level) is highest; ties keep
// the lower index and a NaN ratio never wins.
bool FIRwStepRespList::SearchStepResponses(std::ostream& messages, EyeLevels& best, bool& found) {
  std::int32_t bestIndex = StepRespIndex;
  bestEyeRatio_ = kNoEyeYet;
  for (std::int32_t k = 1; k <= NumStepResp; ++k) {
    std::ostringstream candidate;
    if (!SetUpCandidate(k, candidate)) {
      messages << candidate.str();
      StepRespIndex = bestIndex;
      return false;
    }
    fir_.Initialize(candidate);
    FillEvaluationImpulse();
    filterImpulseThroughFIR(evalResponse_, impulseLength_, candidate);
    candidate.str("");
    EyeLevels levels;
    if (!MeasureEye(candidate, levels)) {
      messages << candidate.str();
      StepRespIndex = bestIndex;
      return false;
    }
    const double ratio = levels.wcUpper / levels.bcUpper;
    if (ratio > bestEyeRatio_) {
      bestIndex = k;
      bestEyeRatio_ = ratio;
      best = levels;
      found = true;
    }
    interpolation_.Finalize();
    fir_.Finalize();
  }
  StepRespIndex = bestIndex;
  if (SuppressAdaptReport == 0)
    ReportSearch(messages);

  if (!SetUpCandidate(StepRespIndex, messages))
    return false;
  fir_.Initialize(messages);
  return true;
}

void FIRwStepRespList::ReportSearch(std::ostream& messages) const {
  if (bestEyeRatio_ > 0) {
    messages << kAdaptReport << StepRespIndex << " with eye opening ratio = " << bestEyeRatio_
             << "\n";
  } else {
    messages << kAdaptReport << StepRespIndex << ", but the eye is still closed.\n";
  }
}

// Brings the middle of the eye's best- and worst-case upper levels (or, for a
// closed eye, its best-case level) to LogicLevel. `searched` holds the levels
// of the search's winner; without a search the eye is measured here.
bool FIRwStepRespList::AdaptGainToLogicLevel(std::ostream& messages, const EyeLevels* searched) {
  const bool withSearch = AdaptStepRespIndex == 1;
  EyeLevels levels;
  if (searched != nullptr) {
    levels = *searched;
  } else if (!withSearch) {
    std::ostringstream measurement;
    FillEvaluationImpulse();
    filterImpulseThroughFIR(evalResponse_, impulseLength_, measurement);
    if (!MeasureEye(measurement, levels)) {
      messages << measurement.str();
      return false;
    }
  }
  gain_ = levels.wcUpper > 0 ? LogicLevel / ((levels.wcUpper + levels.bcUpper) * 0.5)
                             : LogicLevel / levels.bcUpper;
  // A search in which no candidate had a measurable eye leaves nothing to
  // adapt to, and a zero best-case level would make the gain infinite: either
  // way the driver must not amplify the signal without bound.
  if ((withSearch && searched == nullptr) || !std::isfinite(gain_)) {
    gain_ = 1.0;
    messages << "The channel+equalizer eye has no usable level, so the gain cannot be adapted "
                "to the LogicLevel.\n";
    return false;
  }
  Gain_dB = 20.0 * std::log10(gain_);

  bool ok = true;
  if (!withSearch) {
    if (levels.wcUpper > 0) {
      messages << "Channel+equalizer eye opening ratio = " << levels.wcUpper / levels.bcUpper
               << ".\n";
    } else {
      messages << "Channel+equalizer eye is closed.\n";
    }
    // The measurement ran the engine over the evaluation impulse; start afresh.
    ok = fir_.Setup(trace_.stream(), messages);
    fir_.Initialize(messages);
  }
  messages << "To adapt for channel+equalizer loss relative to the LogicLevel = " << LogicLevel
           << ", a gain of " << Gain_dB << " dB is added at the equalizer output.\n";
  return ok;
}

void FIRwStepRespList::Run(std::ostream& messages) {
  if (IsBypass()) {
    interpolation_.Run(messages);
    ++sampleCount_;
    Out = interpolation_.Out;
    Time = interpolation_.Time;
    return;
  }
  fir_.In = In;
  fir_.Run(messages);
  Out = fir_.Out * gain_;
  Time = static_cast<double>(sampleCount_) * timeStep_;
  ++sampleCount_;
}

void FIRwStepRespList::RunBlock(double* samples, std::int64_t count, std::ostream& messages) {
  if (count <= 0)
    return;
  if (IsBypass()) {
    for (std::int64_t i = 0; i < count; ++i) {
      In = samples[i];
      Run(messages);
      samples[i] = Out;
    }
    return;
  }
  In = samples[count - 1];
  fir_.RunBlock(samples, count, messages);
  // A gain of exactly 1 changes no value the filter yields (sums of products
  // are never signalling NaNs), so the usual 0 dB skips the pass.
  if (gain_ != 1.0) {
    for (std::int64_t i = 0; i < count; ++i)
      samples[i] *= gain_;
  }
  Out = samples[count - 1];
  sampleCount_ += count;
  Time = static_cast<double>(sampleCount_ - 1) * timeStep_;
}

void FIRwStepRespList::Finalize() {
  interpolation_.Finalize();
  fir_.Finalize();
}

}  // namespace norvask
