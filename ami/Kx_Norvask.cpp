#include "ami/Kx_Norvask.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "data/StepResponseTable.h"
#include "params/AmiParamString.h"
#include "params/ParameterLookup.h"

namespace norvask {

namespace {

// Longest driver impulse response the model builds. A sample interval fine
// enough to need more (below about 0.13 fs) cannot come from a real
// simulation, and the taps alone would take gigabytes.
constexpr double kMaxDriverImpulseSamples = 16777216.0;  // 2^24
// The time span of the step-response table, in seconds.
constexpr double kStepResponseSpan = (kStepResponseRows - 1) * 1e-12;

bool fitsInt32(double value) {
  return value > -2147483649.0 && value < 2147483648.0;
}

// The parameter txi counts step responses from 0, the model from 1. A txi of
// INT32_MAX (also what larger numbers in the text clamp to) has no successor;
// it stays as it is and fails Setup's range check like any other bad txi.
std::int32_t OneBasedIndex(std::int32_t txi) {
  return txi == std::numeric_limits<std::int32_t>::max() ? txi : txi + 1;
}

}  // namespace

long Kx_Norvask::Init(const AmiInitArguments& arguments) {
  AmiParamString parameters = parseParameters(arguments.parameters);
  const bool ratesValid = SetRates(arguments);
  initDoubleParameter(amiMessageStream, parameters, "OutputGain", model.OutputGain);
  initIntParameter(amiMessageStream, parameters, "txi", model.txi);
  model.txi = OneBasedIndex(model.txi);

  const bool ok = CheckHostArguments(arguments, ratesValid) && RunColumns(arguments);
  TakeMessageText();
  releaseParameters(parameters);
  return ok ? 1 : 0;
}

// Converts the host's grid into the model's rates. Returns false, leaving the
// defaults, when the conversion to samples per bit would not be defined.
bool Kx_Norvask::SetRates(const AmiInitArguments& arguments) {
  const double ratio = arguments.bitTime / arguments.sampleInterval + 0.5;
  if (!std::isfinite(arguments.sampleInterval) || arguments.sampleInterval == 0.0 ||
      !std::isfinite(arguments.bitTime) || !fitsInt32(ratio)) {
    return false;
  }
  model.BitRate = 1.0 / arguments.bitTime;
  model.SamplesPerBit = static_cast<std::int32_t>(ratio);
  return true;
}

// Refuses, with one line in the returned message, what a host should never
// pass but what must not crash its simulation either.
bool Kx_Norvask::CheckHostArguments(const AmiInitArguments& arguments, bool ratesValid) {
  if (!std::isfinite(arguments.sampleInterval) || arguments.sampleInterval == 0.0) {
    amiMessageStream << "The sample interval must be a finite, nonzero number of seconds, not "
                     << arguments.sampleInterval << ".\n";
    return false;
  }
  if (!std::isfinite(arguments.bitTime)) {
    amiMessageStream << "The bit time must be a finite number of seconds, not " << arguments.bitTime
                     << ".\n";
    return false;
  }
  if (!ratesValid) {
    amiMessageStream << "The bit time is " << arguments.bitTime / arguments.sampleInterval
                     << " sample intervals, beyond the range of samples per bit.\n";
    return false;
  }
  const bool runsRows = arguments.aggressors >= 0 && arguments.rowSize > 0;
  if (runsRows && arguments.impulseMatrix == nullptr) {
    amiMessageStream << "The impulse matrix is a null pointer, so no column was filtered.\n";
    return false;
  }
  const double driverSamples = kStepResponseSpan * model.BitRate * model.SamplesPerBit;
  if (model.BitRate > 0 && model.SamplesPerBit > 0 && driverSamples > kMaxDriverImpulseSamples) {
    amiMessageStream << "The sample interval of " << arguments.sampleInterval
                     << " s would need a driver impulse response of " << driverSamples
                     << " samples, more than the model supports (" << kMaxDriverImpulseSamples
                     << ").\n";
    return false;
  }
  return true;
}

bool Kx_Norvask::RunColumns(const AmiInitArguments& arguments) {
  for (std::int64_t c = 0; c <= arguments.aggressors; ++c) {
    double* column =
        arguments.impulseMatrix == nullptr
            ? nullptr
            : arguments.impulseMatrix + c * std::max<std::int64_t>(arguments.rowSize, 0);
    if (!RunColumn(column, arguments.rowSize, c == 0))
      return false;
  }
  return true;
}

// One column through Setup, Initialize, Run per row and Finalize. Finalize
// runs even after a failed phase; a failed phase ends the run of columns.
bool Kx_Norvask::RunColumn(double* column, std::int64_t rowSize, bool gatherMessages) {
  bool ok = true;
  if (!model.Setup()) {
    amiMessageStream << "Error occurred in Norvask::Setup().\n";
    ok = false;
  }
  GatherModelMessages(gatherMessages);
  if (ok) {
    if (!model.Initialize()) {
      amiMessageStream << "Error occurred in Norvask::Initialize().\n";
      ok = false;
    }
    GatherModelMessages(gatherMessages);
  }
  if (ok && rowSize > 0)
    ok = perSampleRun ? RunRows(column, rowSize, gatherMessages)
                      : RunWholeColumn(column, rowSize, gatherMessages);
  if (!model.Finalize()) {
    amiMessageStream << "Error occurred in Tx_RedriverOutput::Finalize().\n";
    ok = false;
  }
  GatherModelMessages(gatherMessages);
  return ok;
}

bool Kx_Norvask::RunRows(double* column, std::int64_t rowSize, bool gatherMessages) {
  for (std::int64_t r = 0; r < rowSize; ++r) {
    model.In = column[r];
    const bool ok = model.Run();
    if (!ok)
      amiMessageStream << "Error occurred in Norvask::Run().\n";
    GatherModelMessages(gatherMessages);
    column[r] = model.Out;
    if (!ok)
      return false;
  }
  return true;
}

// The model's Run reports nothing in its filtering mode, so gathering once
// after the column gives the same text as gathering after every row.
bool Kx_Norvask::RunWholeColumn(double* column, std::int64_t rowSize, bool gatherMessages) {
  const bool ok = model.RunBlock(column, rowSize);
  if (!ok)
    amiMessageStream << "Error occurred in Norvask::Run().\n";
  GatherModelMessages(gatherMessages);
  return ok;
}

// Appends what the model's last phase wrote, when there is more than a
// single stray character of it; only the channel column reports.
void Kx_Norvask::GatherModelMessages(bool gatherMessages) {
  if (!gatherMessages || model.messageStream.tellp() < std::streampos(2))
    return;
  amiMessageStream << model.messageStream.str();
}

void Kx_Norvask::TakeMessageText() {
  const std::string text = amiMessageStream.str();
  messageText_ = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(messageText_.get(), text.c_str(), text.size() + 1);
  amiMessageStream.str(std::string());
}

long Kx_Norvask::Close() {
  amiMessageStream.str(std::string());
  bool ok = true;
  if (!model.Finalize()) {
    amiMessageStream << "Error occurred in Kx_Norvask::Finalize().\n";
    ok = false;
  }
  if (model.messageStream.tellp() >= std::streampos(2))
    amiMessageStream << model.messageStream.str();
  // AMI_Close has no message argument: what the close reported reaches no one.
  amiMessageStream.str(std::string());
  messageText_.reset();
  return ok ? 1 : 0;
}

}  // namespace norvask
