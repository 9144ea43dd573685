// What the report says about a channel, and the figures that follow from its
// impulse response alone, the same for every kind of channel source.
#ifndef NORVASK_HOST_CHANNEL_CHANNELFIGURES_H_
#define NORVASK_HOST_CHANNEL_CHANNELFIGURES_H_

#include <string>
#include <vector>

#include "host/base/LinkTiming.h"

namespace norvask::host {

struct ChannelInfo {
  std::string description;                  // file and, for S-parameters, the path taken
  std::vector<std::string> aggressorNames;  // one per aggressor, in matrix order
  double lossAtNyquist_dB = 0.0;            // NaN when the data ends below Nyquist
  double dcGain = 0.0;
  std::string dcNote;  // how the DC gain was found
  double delay = 0.0;  // s, 50 % point of the step response
  double preRiseEnergy = 0.0;
  // What the input looks wrong in, and what was done to it: one line each,
  // "warning: ..." or "note: ...", for the report.
  std::vector<std::string> warnings;
};

// Fills the figures of `info` that follow from the impulse response alone;
// the DC gain is the sum of the response.
void describeImpulse(const std::vector<double>& impulse, const LinkTiming& timing,
                     ChannelInfo& info);

// Loss in dB at `frequency` of a sampled impulse response (1/s), by a direct
// Fourier sum.
double impulseLoss_dB(const std::vector<double>& impulse, double sampleInterval, double frequency);

// Time at which the step response (running sum of impulse x interval) first
// reaches half its final value, interpolated between samples, the sum up to
// sample i standing for the integral up to (i + 1/2) x interval; NaN when the
// final value is zero.
double propagationDelay(const std::vector<double>& impulse, double sampleInterval);

// Share of the impulse's energy before its main rise: the samples ahead of
// the last local minimum of |h| before its peak. A causal, smooth channel
// gives almost 0; window ringing and non-causal data give more.
double preRiseEnergy(const std::vector<double>& impulse);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELFIGURES_H_
