// The host's built-in channel: a lossy interconnect with skin-effect loss
// (growing with the square root of frequency) and dielectric loss (growing in
// proportion to frequency), specified by its total loss at the Nyquist
// frequency of the link.
//
// The impulse response is the minimum-phase one for that loss curve, so it is
// causal and has the fast rise and long tail of a real trace; it comes in the
// IBIS-AMI impulse convention (1/s), scaled so that its samples summed times
// the sample interval equal the DC gain.
#ifndef NORVASK_HOST_CHANNEL_LOSSYCHANNEL_H_
#define NORVASK_HOST_CHANNEL_LOSSYCHANNEL_H_

#include <cstdint>
#include <vector>

namespace norvask::host {

struct LossyChannel {
  double LossAtNyquist_dB = 5.0;       // insertion loss at NyquistFrequency, dB, >= 0
  double SkinEffectShare = 0.4;        // part of that loss due to skin effect, 0..1
  double NyquistFrequency = 1e9;       // Hz, half the bit rate
  double DcGain = 1.0;                 // linear, > 0
  double SampleInterval = 15.625e-12;  // s, > 0
  std::int64_t Samples = 2048;         // length of the impulse response, >= 1

  // Insertion loss in dB (positive) at frequency f in Hz.
  double LossAt_dB(double frequency) const;

  // Minimum-phase impulse response, `Samples` values in 1/s.
  // REQUIRES: the settings within the ranges noted above.
  std::vector<double> ImpulseResponse() const;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_LOSSYCHANNEL_H_
