#include "host/channel/ChannelInput.h"

#include <algorithm>
#include <cmath>

#include "host/base/EngineeringFormat.h"
#include "host/channel/AggressorInput.h"
#include "host/channel/ChannelSources.h"
#include "host/channel/InputSanity.h"
#include "host/channel/LossyChannel.h"

namespace norvask::host {

namespace {

Status loadBuiltIn(const ChannelRequest& request, const LinkTiming& timing, ChannelSet& channels,
                   ChannelInfo& info) {
  const double samples = std::ceil(request.builtInLengthBits * timing.SamplesPerBit);
  if (samples > static_cast<double>(kMaxBuiltInSamples)) {
    return Status::Error(
        "the built-in channel of " + plain(request.builtInLengthBits) + " unit intervals at " +
        std::to_string(timing.SamplesPerBit) + " samples per bit would take " + count(samples) +
        " samples; the limit is " + count(static_cast<double>(kMaxBuiltInSamples)));
  }
  LossyChannel channel;
  channel.LossAtNyquist_dB = request.builtInLoss_dB;
  channel.NyquistFrequency = timing.BitRate / 2.0;
  channel.SampleInterval = timing.sampleInterval();
  channel.Samples = static_cast<std::int64_t>(samples);
  channels.channel = channel.ImpulseResponse();
  info.description = "built-in lossy channel, " + decibels(request.builtInLoss_dB) + " loss at " +
                     hertz(timing.BitRate / 2.0) + " (Nyquist)";
  describeImpulse(channels.channel, timing, info);
  return Status::Ok();
}

Status chooseLane(const std::string& portMap, VictimNetwork& victim, std::string& how) {
  const std::string& path = victim.path;
  const int ports = victim.network.ports;
  if (!portMap.empty()) {
    if (ports < 4)
      return Status::Error(path + " has 2 ports; a port map needs 4 or more").Within("--ports");
    if (Status parsed = parsePortMap(portMap, victim.map); !parsed.ok())
      return parsed.Within("--ports");
    if (!portMapFits(victim.map, ports))
      return Status::Error(path + " has only " + std::to_string(ports) + " ports")
          .Within("--ports");
    victim.lane = true;
    how = "ports as given";
    return Status::Ok();
  }
  if (ports == 2) {
    how = "S21 of the 2-port";
    return Status::Ok();
  }
  if (ports % 4 != 0) {
    return Status::Error(path + ": " + std::to_string(ports) +
                         " ports are no set of differential lanes; give the lane with --ports "
                         "P-in,N-in,P-out,N-out");
  }
  victim.map = detectLanes(victim.network).front();
  victim.lane = true;
  how = "ports found from the strongest through paths at " +
        hertz(victim.network.frequencies.front());
  return Status::Ok();
}

std::vector<std::complex<double>> victimTransfer(const VictimNetwork& victim) {
  if (!victim.lane)
    return singleEndedTransfer(victim.network);
  const PortMap& m = victim.map;
  return differentialTransfer(victim.network, m.pIn, m.nIn, m.pOut, m.nOut);
}

Status loadImpulseChannel(const ChannelRequest& request, const LinkTiming& timing,
                          ChannelSet& channels, ChannelInfo& info) {
  const std::string& path = request.channelFile;
  if (!request.portMap.empty()) {
    return Status::Error("--ports applies to a Touchstone --channel file (.sNp); " + path +
                         " is read as an impulse file");
  }
  double fileStep = 0.0;
  if (Status read = readImpulseFile(path, timing.sampleInterval(), channels.channel, &fileStep);
      !read.ok()) {
    return read;
  }
  info.description = path + " (impulse response)";
  describeImpulse(channels.channel, timing, info);
  checkImpulseGain(path, info.dcGain, fileStep, info.warnings);
  return Status::Ok();
}

// The victim's description and the figures only its S-parameters give.
void describeNetwork(const VictimNetwork& victim, const std::string& how,
                     const std::vector<std::complex<double>>& transfer,
                     const ConvertedChannel& converted, double nyquist, ChannelInfo& info) {
  info.description =
      victim.path + ", " +
      (victim.lane ? "SDD21 of " + describePortMap(victim.map) : std::string("S21")) + " (" + how +
      ")";
  const auto& f = victim.network.frequencies;
  info.lossAtNyquist_dB = insertionLoss_dB(f, transfer, nyquist);
  info.dcGain = converted.dcGain;
  info.dcNote = converted.dcExtrapolated
                    ? "extrapolated to DC from " + hertz(f[0]) + " and " + hertz(f[1])
                    : "from the data at 0 Hz";
}

Status loadTouchstoneChannel(const ChannelRequest& request, const LinkTiming& timing,
                             VictimNetwork& victim, ChannelSet& channels, ChannelInfo& info) {
  std::string how;
  Status status = readNetwork(victim.path, timing, victim.network, info.warnings);
  if (status.ok())
    status = chooseLane(request.portMap, victim, how);
  if (!status.ok())
    return status;
  if (!request.portMap.empty() && victim.network.ports % 4 == 0)
    checkGivenLane(victim.network, victim.map, request.portMap, info.warnings);
  const auto transfer = victimTransfer(victim);
  ConvertedChannel converted;
  status = convertTransfer(victim.network.frequencies, transfer, timing, request.window,
                           victim.path, converted);
  if (!status.ok())
    return status;
  channels.channel = std::move(converted.impulse);
  describeImpulse(channels.channel, timing, info);
  describeNetwork(victim, how, transfer, converted, timing.BitRate / 2.0, info);
  return Status::Ok();
}

Status loadVictim(const ChannelRequest& request, const LinkTiming& timing, VictimNetwork& victim,
                  ChannelSet& channels, ChannelInfo& info) {
  if (request.channelFile.empty()) {
    if (!request.portMap.empty())
      return Status::Error("--ports needs a Touchstone --channel file");
    return loadBuiltIn(request, timing, channels, info);
  }
  if (!isTouchstoneName(request.channelFile))
    return loadImpulseChannel(request, timing, channels, info);
  victim.path = request.channelFile;
  return loadTouchstoneChannel(request, timing, victim, channels, info);
}

bool allZero(const std::vector<double>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](double v) { return v == 0.0; });
}

}  // namespace

Status loadChannelInput(const ChannelRequest& request, const LinkTiming& timing,
                        ChannelSet& channels, ChannelInfo& info) {
  VictimNetwork victim;
  if (Status loaded = loadVictim(request, timing, victim, channels, info); !loaded.ok())
    return loaded;
  for (const std::string& argument : request.aggressors) {
    if (Status added = addAggressor(argument, victim, request.window, timing, channels, info);
        !added.ok()) {
      return added;
    }
  }
  if (!request.channelFile.empty() && allZero(channels.channel)) {
    return Status::Error(request.channelFile +
                         ": the channel's response is zero everywhere; there is no eye");
  }
  return Status::Ok();
}

}  // namespace norvask::host
