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

namespace norvask::host {

// A name ending in .sNp or .ts (any case).
bool isTouchstoneName(const std::string& path);

// The impulse file at `path`, resampled to `sampleInterval`; a span longer
// than kMaxConvertedSamples is refused before it is allocated.
Status readImpulseFile(const std::string& path, double sampleInterval,
                       std::vector<double>& samples);

// transferToImpulse on the grid of `timing`.
Status convertTransfer(const std::vector<double>& frequencies,
                       const std::vector<std::complex<double>>& transfer, const LinkTiming& timing,
                       BandWindow window, const std::string& source, ConvertedChannel& converted);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_CHANNELSOURCES_H_
