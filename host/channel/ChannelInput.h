// The channel and aggressor responses a run starts from: the built-in lossy
// channel, or the files the user names (two-column impulse files, or
// Touchstone S-parameter files converted to impulse responses on the
// simulation grid), and the aggressors (see AggressorInput.h).
#ifndef NORVASK_HOST_CHANNEL_CHANNELINPUT_H_
#define NORVASK_HOST_CHANNEL_CHANNELINPUT_H_

#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/channel/ChannelFigures.h"
#include "host/channel/SParameterChannel.h"

namespace norvask::host {

struct ChannelRequest {
  std::string channelFile;  // empty: the built-in lossy channel
  std::string portMap;      // "1,3,2,4", or empty to find it from the data
  std::vector<std::string> aggressors;
  BandWindow window = BandWindow::kRaisedCosine;
  double builtInLoss_dB = 5.0;      // the built-in channel's loss at Nyquist
  double builtInLengthBits = 64.0;  // and its length, unit intervals
};

// Reads the channel and aggressors of `request` onto the grid of `timing`.
// A failure is one line naming the option or the file and line; a channel
// that is zero everywhere is refused, since it has no eye.
Status loadChannelInput(const ChannelRequest& request, const LinkTiming& timing,
                        ChannelSet& channels, ChannelInfo& info);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELINPUT_H_
