// Reads S-parameter files in the Touchstone format, versions 1.x and 2.x,
// the form in which VNAs and field solvers hand over a channel.
//
// Accepted: the option line (frequency unit Hz to GHz, parameter S, data
// format RI, MA or DB, reference resistance), comments after '!' anywhere,
// network data wrapped over any number of lines, and the version 2 keywords
// [Version], [Number of Ports], [Two-Port Data Order], [Number of
// Frequencies], [Reference], [Matrix Format], [Network Data], [Noise Data],
// [End] and [Begin Information] / [End Information]. Noise data is skipped
// (the data says where it started). A frequency point starts on a new line
// and ends at the end of one, so a file of another port count than it claims
// shows as a point that runs on into a line.
// Every error names the file and, where there is one, the line.
#ifndef NORVASK_HOST_CHANNEL_TOUCHSTONE_H_
#define NORVASK_HOST_CHANNEL_TOUCHSTONE_H_

#include <complex>
#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "host/base/Limits.h"
#include "host/base/Status.h"

namespace norvask::host {

// Port counts this reader takes: a transfer needs two ports, and 32 covers
// eight differential lanes with their neighbours.
inline constexpr int kMinTouchstonePorts = 2;
inline constexpr int kMaxTouchstonePorts = 32;
// Entries at or above this magnitude are refused as corrupt numbers.
inline constexpr double kMaxSParameterMagnitude = 1e6;

struct NetworkData {
  int ports = 0;
  double referenceOhms = 50.0;      // of port 1
  std::vector<double> references;   // ohm, of every port
  std::vector<double> frequencies;  // Hz, strictly increasing
  std::vector<int> pointLines;      // the line each frequency point starts on
  int noiseLine = 0;                // where ignored noise parameters start, or 0
  // S(i, j) from port j to port i (0-based), frequency after frequency.
  std::vector<std::complex<double>> values;

  std::complex<double> S(std::size_t frequency, int to, int from) const {
    const auto n = static_cast<std::size_t>(ports);
    return values[(frequency * n + static_cast<std::size_t>(to)) * n +
                  static_cast<std::size_t>(from)];
  }
};

// The N of a name ending in ".sNp" (any case), or 0.
int portsFromFileName(const std::string& name);

// Parses Touchstone text. `portsFromName` is the port count the file name
// gives (0: none); version 2 files state theirs in [Number of Ports]. A
// failure is one line starting with `sourceName`. At most kMaxTouchstoneEntries
// matrix entries (frequencies x ports^2) are kept, e.g. 524288 points of a
// 4-port or 8192 of a 32-port.
Status parseTouchstone(std::istream& text, const std::string& sourceName, int portsFromName,
                       NetworkData& network);

// Opens `path` and parses it as above.
Status readTouchstoneFile(const std::string& path, NetworkData& network);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_TOUCHSTONE_H_
