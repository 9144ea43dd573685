// The simulation grid every stage of a run shares, and the responses that
// run on it.
#ifndef NORVASK_HOST_BASE_LINKTIMING_H_
#define NORVASK_HOST_BASE_LINKTIMING_H_

#include <cstdint>
#include <vector>

namespace norvask::host {

// The sample interval follows from the two settings.
struct LinkTiming {
  double BitRate = 2e9;             // bits per second, > 0
  std::int32_t SamplesPerBit = 32;  // >= 1

  double bitTime() const { return 1.0 / BitRate; }
  double sampleInterval() const { return bitTime() / SamplesPerBit; }
};

// Impulse responses on the simulation grid, in 1/s (summed times the sample
// interval they give the step response's final value).
struct ChannelSet {
  std::vector<double> channel;
  std::vector<std::vector<double>> aggressors;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_LINKTIMING_H_
