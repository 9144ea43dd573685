// One pass of a set of channel responses through an IBIS-AMI model, as a
// statistical channel simulation does it: build the impulse matrix, let
// AMI_Init filter it, and take the columns back apart.
#ifndef NORVASK_HOST_MODEL_MODELRUN_H_
#define NORVASK_HOST_MODEL_MODELRUN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/model/ModelLibrary.h"

namespace norvask::host {

// The filtered matrix, column 0 the channel, then one column per aggressor.
struct ModelRun {
  AmiCallResult call;
  long rows = 0;
  std::vector<std::vector<double>> columns;
};

// Zero padding after the longest response, in seconds: the model's own
// response must fit in the matrix, or the tail of the filtered response is cut
// off. Norvask's step responses last 2.24 ns.
inline constexpr double kDefaultTailTime = 2.5e-9;

// Runs every response of `channels` through the model in one AMI_Init call.
// Every column is padded with zeros to the longest response plus tailTime.
// REQUIRES: library.loaded(); channels.channel not empty; tailTime >= 0.
ModelRun runThroughModel(const AmiLibrary& library, const ChannelSet& channels,
                         const LinkTiming& timing, double tailTime, const std::string& parameters);

}  // namespace norvask::host

#endif  // NORVASK_HOST_MODEL_MODELRUN_H_
