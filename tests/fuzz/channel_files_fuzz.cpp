// Feeds arbitrary bytes to the host's two channel readers: the Touchstone reader (with the port
// count a file name would give taken from the first byte), then the renormalisation to 50 ohm, the
// input checks, lane detection, mixed-mode transfer and the conversion to an impulse response; and
// the two-column impulse reader with its resampling. The sample intervals are chosen so every
// conversion stays small: the point is the readers' handling of any text, not the size limits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "host/channel/ChannelFigures.h"
#include "host/channel/ChannelFile.h"
#include "host/channel/InputSanity.h"
#include "host/channel/PortMap.h"
#include "host/channel/Renormalisation.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"

namespace {

using namespace norvask::host;

constexpr double kSamples = 4096.0;

void convert(const NetworkData& network) {
  std::vector<std::complex<double>> transfer;
  if (network.ports % 4 == 0) {
    const PortMap lane = detectLanes(network).front();
    transfer = differentialTransfer(network, lane.pIn, lane.nIn, lane.pOut, lane.nOut);
  } else {
    transfer = singleEndedTransfer(network);
  }
  const auto& f = network.frequencies;
  if (f.size() < 2)
    return;
  const double meanStep = (f.back() - f.front()) / static_cast<double>(f.size() - 1);
  if (!(meanStep > 0.0) || !std::isfinite(meanStep))
    return;
  ConvertedChannel channel;
  const double dt = 1.0 / (meanStep * kSamples);
  if (transferToImpulse(f, transfer, dt, BandWindow::kRaisedCosine, "fuzz", channel).ok()) {
    propagationDelay(channel.impulse, dt);
    preRiseEnergy(channel.impulse);
  }
  insertionLoss_dB(f, transfer, 0.5 * (f.front() + f.back()));
}

void readTouchstone(const std::string& text, int portsFromName) {
  std::istringstream in(text);
  NetworkData network;
  if (!parseTouchstone(in, "fuzz.sNp", portsFromName, network).ok())
    return;
  if (needsRenormalisation(network) && !renormaliseTo50Ohm(network, "fuzz.sNp").ok())
    return;
  std::vector<std::string> warnings;
  checkNetwork(network, "fuzz.sNp", LinkTiming{}, warnings);
  if (network.ports % 4 == 0)
    checkGivenLane(network, PortMap{}, "1,2,3,4", warnings);
  convert(network);
}

void readImpulse(const std::string& text) {
  std::istringstream in(text);
  SampledWaveform waveform;
  if (!parseTwoColumnText(in, "fuzz.txt", waveform).ok())
    return;
  const double span = waveform.time.back() - waveform.time.front();
  const double dt = span / kSamples;
  if (dt > 0.0 && std::isfinite(dt) && resampledLength(waveform, dt) <= 2.0 * kSamples) {
    const std::vector<double> samples = resampleLinear(waveform, dt);
    propagationDelay(samples, dt);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  readTouchstone(text, data[0] % 34);
  readImpulse(text);
  return 0;
}
