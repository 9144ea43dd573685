// The steps every channel source shares: telling a Touchstone file by its
// name, reading an impulse file onto the grid, and converting a transfer
// function to an impulse response.
#ifndef NORVASK_HOST_CHANNEL_CHANNELSOURCES_H_
#define NORVASK_HOST_CHANNEL_CHANNELSOURCES_H_

#include <complex>
#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

// A name ending in .sNp or .ts (any case).
bool isTouchstoneName(const std::string& path);

// The impulse file at `path`, resampled to `sampleInterval`; a span longer
// than kMaxConvertedSamples is refused before it is allocated. `fileStep`,
// when given, receives the file's mean time step.
Status readImpulseFile(const std::string& path, double sampleInterval, std::vector<double>& samples,
                       double* fileStep = nullptr);

// The Touchstone file at `path`, renormalised to 50 ohm at every port where
// its references differ, with a note saying so and the warnings of
// checkNetwork for a link at `timing` added to `warnings`.
Status readNetwork(const std::string& path, const LinkTiming& timing, NetworkData& network,
                   std::vector<std::string>& warnings);

// transferToImpulse on the grid of `timing`.
Status convertTransfer(const std::vector<double>& frequencies,
                       const std::vector<std::complex<double>>& transfer, const LinkTiming& timing,
                       BandWindow window, const std::string& source, ConvertedChannel& converted);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELSOURCES_H_
