// The channel and aggressor responses a run starts from, read from the files
// the user names: two-column impulse files, or Touchstone S-parameter files
// (.sNp) converted to impulse responses on the simulation grid.
//
// The forms an --aggressor argument takes:
//   FILE               an impulse file, or the S21 of a 2-port Touchstone file
//   FILE@P,N,P,N       the differential transfer of a Touchstone file between
//                      the given ports (P-in, N-in, P-out, N-out)
//   @P,N               a pair of the --channel Touchstone file driven as an
//                      aggressor, seen at the victim's output pair: a pair at
//                      the victim's input end couples far-end crosstalk, one
//                      at its output end near-end crosstalk
//   @all               every pair of every other lane of the --channel file,
//                      at both ends
#ifndef NORVASK_HOST_CHANNEL_CHANNELINPUT_H_
#define NORVASK_HOST_CHANNEL_CHANNELINPUT_H_

#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/channel/SParameterChannel.h"

namespace norvask::host {

struct ChannelRequest {
  std::string channelFile;  // empty: only the aggressors, added to the given set
  std::string portMap;      // "1,3,2,4", or empty to find it from the data
  std::vector<std::string> aggressors;
  BandWindow window = BandWindow::kRaisedCosine;
};

// What the report says about the channel it simulates.
struct ChannelInfo {
  std::string description;                  // file and, for S-parameters, the path taken
  std::vector<std::string> aggressorNames;  // one per aggressor, in matrix order
  double lossAtNyquist_dB = 0.0;            // NaN when the data ends below Nyquist
  double dcGain = 0.0;
  std::string dcNote;  // how the DC gain was found
  double delay = 0.0;  // s, 50 % point of the step response
  double preRiseEnergy = 0.0;
};

// Reads the files of `request` onto the grid of `timing`. On failure returns
// false and sets `error` to one line naming the option or the file and line.
bool loadChannelInput(const ChannelRequest& request, const LinkTiming& timing, ChannelSet& channels,
                      ChannelInfo& info, std::string& error);

// Loss in dB at `frequency` of a sampled impulse response (1/s), by a direct
// Fourier sum: the same figure for every kind of channel.
double impulseLoss_dB(const std::vector<double>& impulse, double sampleInterval, double frequency);

// Fills the figures of `info` that follow from the impulse response alone.
void describeImpulse(const std::vector<double>& impulse, const LinkTiming& timing,
                     ChannelInfo& info);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELINPUT_H_
