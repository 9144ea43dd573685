// One pass of a set of channel responses through an IBIS-AMI model, as a
// statistical channel simulation does it: build the impulse matrix, let
// AMI_Init filter it, and take the columns back apart.
#ifndef NORVASK_HOST_MODEL_MODELRUN_H_
#define NORVASK_HOST_MODEL_MODELRUN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/model/ModelLibrary.h"

namespace norvask::host {

// The filtered matrix, column 0 the channel, then one column per aggressor.
struct ModelRun {
  AmiCallResult call;
  long rows = 0;
  std::vector<std::vector<double>> columns;
};

// Runs every response of `channels` through the model in one AMI_Init call.
// Every column is padded with zeros to the longest response plus tailTime, so
// that the model's own response fits and the filtered tail is not cut off.
// REQUIRES: library.loaded(); channels.channel not empty; tailTime >= 0.
ModelRun runThroughModel(const AmiLibrary& library, const ChannelSet& channels,
                         const LinkTiming& timing, double tailTime, const std::string& parameters);

// The driver's own impulse response (taps, trailing zeros dropped): the
// model's answer to a unit-area channel, times the sample interval.
std::vector<double> driverTaps(const AmiLibrary& library, const LinkTiming& timing, double tailTime,
                               const std::string& parameters);

// Refuses a matrix of the responses plus `tailSamples` rows of padding that
// exceeds kMaxConvertedSamples rows or kMaxMatrixValues values, before it is
// built.
Status checkMatrixSize(const ChannelSet& channels, double tailSamples);

// The row of the first non-finite sample (NaN or infinity) in any column of
// the model's output, or -1.
long firstNonFinite(const ModelRun& run);

}  // namespace norvask::host

#endif  // NORVASK_HOST_MODEL_MODELRUN_H_
