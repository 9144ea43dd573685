// Reads a measured or simulated impulse response from a text file and puts it
// on the simulator's sample grid.
//
// The file holds two columns, time in seconds and h(t) in 1/s (the IBIS-AMI
// impulse convention: h summed times the sample interval is the step
// response), separated by white space or a comma. Leading header lines (not
// starting with a number) and comment lines are skipped; anything else that is
// not two finite numbers is an error, because a silently skipped data line
// would distort the channel. Time starts at 0 or later.
#ifndef NORVASK_HOST_CHANNEL_CHANNELFILE_H_
#define NORVASK_HOST_CHANNEL_CHANNELFILE_H_

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "host/base/Limits.h"
#include "host/base/Status.h"

namespace norvask::host {

// Impulse values beyond this magnitude (1/s) are refused as corrupt numbers.
inline constexpr double kMaxImpulseMagnitude = 1e30;

// Samples on the file's own, possibly uneven, time axis.
struct SampledWaveform {
  std::vector<double> time;   // seconds, strictly increasing
  std::vector<double> value;  // same length as time
};

// Parses the two-column text. A failure names `sourceName` and the offending
// line number. More than kMaxDataLines data lines is a mistake, not an
// impulse response, and is refused before it exhausts memory.
Status parseTwoColumnText(std::istream& text, const std::string& sourceName,
                          SampledWaveform& waveform);

// Opens `path` and parses it as above; a missing file is an error too.
Status readTwoColumnFile(const std::string& path, SampledWaveform& waveform);

// How many samples resampleLinear gives, computed without allocating them, so
// a caller can refuse a span too long for memory first.
// REQUIRES: as for resampleLinear.
double resampledLength(const SampledWaveform& waveform, double sampleInterval);

// Linear interpolation of the waveform at t0 + k * sampleInterval, t0 its first
// time, for every such instant up to its last time.
// REQUIRES: sampleInterval > 0; waveform.time has at least two values and
// increases strictly.
std::vector<double> resampleLinear(const SampledWaveform& waveform, double sampleInterval);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELFILE_H_
