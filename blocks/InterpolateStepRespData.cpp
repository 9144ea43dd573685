#include "blocks/InterpolateStepRespData.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "dsp/SettingsCheck.h"

namespace norvask {

namespace {

// Truncation toward zero that saturates instead of overflowing: absurd time
// axes or rates then give a point count the engine refuses with its own
// words (NaN becomes 0, "nPtsOut must be an integer > 0.").
std::int32_t TruncateToInt32(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (std::isnan(value))
    return 0;
  if (value >= kMax)
    return std::numeric_limits<std::int32_t>::max();
  if (value <= kMin)
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Bit for bit: -0.0 and 0.0 differ, and a NaN equals itself.
bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

bool InterpolateStepRespData::ResampleSettings::operator==(const ResampleSettings& other) const {
  return sameBits(timeStep, other.timeStep) && interpolationType == other.interpolationType &&
         differentiateData == other.differentiateData && stepData == other.stepData;
}

InterpolateStepRespData::InterpolateStepRespData() {
  engine_.yDataOut = &yDataOut;
  engine_.x_Data = &x_Data_;
  engine_.yData = &yData_;
  engine_.xData = &xData_;
}

bool InterpolateStepRespData::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  setupPassed_ = false;
  reuseResult_ = false;
  SettingsCheck check(messages);
  CheckSettings(check);
  // The list is looked at even after a bad setting, so one Setup tells the
  // owner about both.
  const StepRespList* list = StepResp_data_values;
  if (list == nullptr || list->empty()) {
    messages << "StepResp_data_values must not be an empty array.\n";
    return false;
  }
  if ((*list)[0].empty()) {
    messages << "StepResp_data_values[0][0] array size must be > 0.\n";
    return false;
  }
  if (!check.passed() || !CheckListShape(messages))
    return false;

  timeStep_ = 1.0 / BitRate / SamplesPerBit;
  const auto index = static_cast<std::size_t>(StepRespIndex);
  timeAxis_ = SharedTimeAxis != 0 ? &(*list)[0] : &(*list)[2 * index - 2];
  values_ = SharedTimeAxis != 0 ? &(*list)[index] : &(*list)[2 * index - 1];
  usablePoints_ = CountUsablePoints();
  if (usablePoints_ < 4) {
    messages << "At least 4 step response values are required.\n";
    return false;
  }
  if (EnableInterpolation == 0) {
    setupPassed_ = true;
    return true;
  }
  ConfigureEngine();
  setupPassed_ = engine_.Setup(trace_.stream(), messages);
  return setupPassed_;
}

void InterpolateStepRespData::CheckSettings(SettingsCheck& check) const {
  // A NaN rate is refused with the non-positive ones.
  check.Expect(BitRate > 0.0, "BitRate must be a positive number.\n");
  check.Expect(SamplesPerBit >= 1, "SamplesPerBit must be a positive integer.\n");
  check.Expect(StepRespIndex >= 1 && StepRespIndex <= NumStepResp,
               "Step response index must be an integer in the range [1, ", NumStepResp, "].\n");
  check.Expect(InUnsignedRange(EnableInterpolation, 1),
               "EnableInterpolation must be an integer in the range [0, 1].\n");
  check.Expect(InUnsignedRange(InterpolationType, 2),
               "InterpolationType must be an integer in the range [0, 2].\n");
  check.Expect(InUnsignedRange(DifferentiateData, 1),
               "DifferentiateData must be an integer in the range [0, 1].\n");
  check.Expect(InUnsignedRange(StepData, 1), "StepData must be an integer in the range [0, 1].\n");
  check.Expect(NumStepResp >= 1, "NumStepResp must be an integer > 0.\n");
}

// REQUIRES: settings checked (NumStepResp >= 1) and a non-empty list.
bool InterpolateStepRespData::CheckListShape(std::ostream& messages) const {
  const StepRespList& list = *StepResp_data_values;
  const auto responses = static_cast<std::size_t>(NumStepResp);
  const std::size_t needed = SharedTimeAxis != 0 ? responses + 1 : 2 * responses;
  // Refused rather than read past the list's end: a list that does not match
  // NumStepResp is the owner's mistake, and saying so beats a crash.
  if (list.size() < needed) {
    messages << "StepResp_data_values must hold " << needed << " vectors for " << NumStepResp
             << " step responses, but it holds " << list.size() << ".\n";
    return false;
  }
  const std::size_t rows = list[0].size();
  for (std::size_t i = 1; i < needed; ++i) {
    if (list[i].size() != rows) {
      messages << "Number of rows for StepResp_data_values[" << i
               << "] is not the same as for StepResp_data_values[0].\n";
      return false;
    }
  }
  return true;
}

// A time vector of its own may be padded with values <= 0 at its end; only
// the rows up to its last positive time count.
std::size_t InterpolateStepRespData::CountUsablePoints() const {
  const std::vector<double>& time = *timeAxis_;
  if (SharedTimeAxis != 0)
    return time.size();
  if (time.size() <= 2)
    return 0;
  for (std::size_t i = time.size() - 1; i >= 2; --i) {
    if (time[i] > 0.0)
      return i + 1;
  }
  return 0;
}

void InterpolateStepRespData::ConfigureEngine() {
  const ResampleSettings settings{timeStep_, InterpolationType, DifferentiateData, StepData};
  bool unchanged = haveResult_ && settings == resultSettings_ && yData_.size() == usablePoints_;
  // The step is taken relative to its first value, so the impulse adds up to
  // the step's rise, not to its level.
  const double first = (*values_)[0];
  yData_.resize(usablePoints_);
  xData_.resize(usablePoints_);
  for (std::size_t k = 0; k < usablePoints_; ++k) {
    const double y = (*values_)[k] - first;
    const double x = (*timeAxis_)[k];
    unchanged = unchanged && sameBits(y, yData_[k]) && sameBits(x, xData_[k]);
    yData_[k] = y;
    xData_[k] = x;
  }
  // A run traces its numeric operations, so with a trace every Initialize runs.
  reuseResult_ = unchanged && trace_.stream() == nullptr;
  haveResult_ = unchanged;
  resultSettings_ = settings;
  engine_.x_DataOption = 0;
  engine_.x_Start = 0.0;
  engine_.x_Step = timeStep_;
  engine_.nPtsOut = TruncateToInt32(xData_[usablePoints_ - 1] / timeStep_);
  engine_.UseLogX = 0;
  engine_.InterpolationType = InterpolationType;
  engine_.DifferentiateData = DifferentiateData;
  engine_.ScaleByOneOverXStep = 0;
  engine_.ScaleForFinalValue = 1;
  engine_.StepData = StepData;
}

bool InterpolateStepRespData::Initialize(std::ostream& messages) {
  outputCount_ = 0;
  if (!setupPassed_)
    return false;
  if (EnableInterpolation != 1 || reuseResult_)
    return true;
  const bool interpolated = engine_.Initialize(messages);
  if (DifferentiateData == 1)
    TrimTrailingZeros();
  // A failed run may leave the engine's abscissae shifted; only a new Setup
  // refills them, so a repeated Initialize must not run on them.
  if (!interpolated)
    setupPassed_ = false;
  haveResult_ = interpolated;
  return interpolated;
}

// An impulse that has died out exactly is shortened, so the FIR filter does
// not convolve with a tail of zeros; sample 0 always stays.
void InterpolateStepRespData::TrimTrailingZeros() {
  while (yDataOut.size() > 1 && yDataOut.back() == 0.0)
    yDataOut.pop_back();
}

void InterpolateStepRespData::Run(std::ostream& /*messages*/) {
  if (EnableInterpolation == 1) {
    RunInterpolated();
  } else {
    RunRawRows();
  }
  if (outputCount_ < std::numeric_limits<std::int32_t>::max())
    ++outputCount_;
}

void InterpolateStepRespData::RunInterpolated() {
  const std::size_t count = yDataOut.size();
  if (count == 0 || count > x_Data_.size()) {  // no result to hand out
    Time = 0.0;
    Out = 0.0;
    return;
  }
  const auto n = static_cast<std::size_t>(outputCount_);
  if (n < count) {
    Time = x_Data_[n];
    Out = yDataOut[n];
    return;
  }
  // Past the end an impulse has ended, while a step holds its last value.
  Time = x_Data_[count - 1];
  Out = DifferentiateData == 1 ? 0.0 : yDataOut[count - 1];
}

void InterpolateStepRespData::RunRawRows() {
  if (!setupPassed_) {
    Time = 0.0;
    Out = 0.0;
    return;
  }
  const auto n = static_cast<std::size_t>(outputCount_);
  const std::size_t row = n < usablePoints_ ? n : usablePoints_ - 1;
  Time = (*timeAxis_)[row];
  Out = (*values_)[row];
}

void InterpolateStepRespData::Finalize() {
  if (EnableInterpolation == 1)
    engine_.Finalize();
}

}  // namespace norvask
