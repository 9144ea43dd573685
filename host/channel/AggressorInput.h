// The aggressors of a run, one --aggressor argument at a time. The forms:
//   FILE               an impulse file, or the S21 of a 2-port Touchstone file
//   FILE@P,N,P,N       the differential transfer of a Touchstone file between
//                      the given ports (P-in, N-in, P-out, N-out)
//   @P,N               a pair of the --channel Touchstone file driven as an
//                      aggressor, seen at the victim's output pair: a pair at
//                      the victim's input end couples far-end crosstalk, one
//                      at its output end near-end crosstalk
//   @all               every pair of every other lane of the --channel file,
//                      at both ends
#ifndef NORVASK_HOST_CHANNEL_AGGRESSORINPUT_H_
#define NORVASK_HOST_CHANNEL_AGGRESSORINPUT_H_

#include <string>

#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/channel/ChannelFigures.h"
#include "host/channel/PortMap.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

// The --channel Touchstone file and the lane chosen in it.
struct VictimNetwork {
  std::string path;  // empty: the channel is no Touchstone file
  NetworkData network;
  bool lane = false;  // false: a 2-port, S21
  PortMap map;
};

// Adds the aggressor(s) `argument` names to `channels`, and their names to
// `info`, converted with `window` onto the grid of `timing`.
Status addAggressor(const std::string& argument, const VictimNetwork& victim, BandWindow window,
                    const LinkTiming& timing, ChannelSet& channels, ChannelInfo& info);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_AGGRESSORINPUT_H_
