#include "host/channel/ChannelSources.h"

#include <algorithm>
#include <filesystem>

#include "host/base/EngineeringFormat.h"
#include "host/channel/ChannelFile.h"
#include "host/channel/InputSanity.h"
#include "host/channel/Renormalisation.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

bool isTouchstoneName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return portsFromFileName(path) > 0 || extension == ".ts";
}

Status readImpulseFile(const std::string& path, double sampleInterval, std::vector<double>& samples,
                       double* fileStep) {
  SampledWaveform waveform;
  if (Status read = readTwoColumnFile(path, waveform); !read.ok())
    return read;
  if (fileStep != nullptr) {
    *fileStep = (waveform.time.back() - waveform.time.front()) /
                static_cast<double>(waveform.time.size() - 1);
  }
  const double length = resampledLength(waveform, sampleInterval);
  if (!(length <= static_cast<double>(kMaxConvertedSamples))) {
    return Status::Error(path + ": the response spans " +
                         seconds(waveform.time.back() - waveform.time.front()) + ", " +
                         count(length) + " samples at " + seconds(sampleInterval) +
                         "; the limit is " + std::to_string(kMaxConvertedSamples) + " samples");
  }
  samples = resampleLinear(waveform, sampleInterval);
  return Status::Ok();
}

Status readNetwork(const std::string& path, const LinkTiming& timing, NetworkData& network,
                   std::vector<std::string>& warnings) {
  if (Status read = readTouchstoneFile(path, network); !read.ok())
    return read;
  if (needsRenormalisation(network)) {
    const std::string references = describeReferences(network);
    if (Status renormalised = renormaliseTo50Ohm(network, path); !renormalised.ok())
      return renormalised;
    warnings.push_back("note: " + path + ": the reference impedance " + references +
                       " is renormalised to 50 ohm at every port");
  }
  checkNetwork(network, path, timing, warnings);
  return Status::Ok();
}

Status convertTransfer(const std::vector<double>& frequencies,
                       const std::vector<std::complex<double>>& transfer, const LinkTiming& timing,
                       BandWindow window, const std::string& source, ConvertedChannel& converted) {
  return transferToImpulse(frequencies, transfer, timing.sampleInterval(), window, source,
                           converted);
}

}  // namespace norvask::host
