#include "host/channel/ChannelInput.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "host/channel/ChannelFile.h"
#include "host/base/EngineeringFormat.h"
#include "host/channel/PortMap.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

namespace {

const double kPi = std::acos(-1.0);

bool isTouchstoneName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return portsFromFileName(path) > 0 || extension == ".ts";
}

bool readImpulseFile(const std::string& path, double sampleInterval, std::vector<double>& samples,
                     std::string& error) {
  SampledWaveform waveform;
  if (!readTwoColumnFile(path, waveform, error))
    return false;
  const double length = resampledLength(waveform, sampleInterval);
  if (!(length <= static_cast<double>(kMaxConvertedSamples))) {
    error = path + ": the response spans " + seconds(waveform.time.back() - waveform.time.front()) +
            ", " + count(length) + " samples at " + seconds(sampleInterval) + "; the limit is " +
            std::to_string(kMaxConvertedSamples) + " samples";
    return false;
  }
  samples = resampleLinear(waveform, sampleInterval);
  return true;
}

// The --channel Touchstone file and the lane chosen in it.
struct VictimNetwork {
  NetworkData network;
  bool lane = false;  // false: a 2-port, S21
  PortMap map;
};

bool chooseLane(const ChannelRequest& request, VictimNetwork& victim, std::string& how,
                std::string& error) {
  const std::string& path = request.channelFile;
  const int ports = victim.network.ports;
  if (!request.portMap.empty()) {
    if (ports < 4) {
      error = "--ports: " + path + " has 2 ports; a port map needs 4 or more";
      return false;
    }
    if (!parsePortMap(request.portMap, victim.map, error)) {
      error = "--ports: " + error;
      return false;
    }
    if (!portMapFits(victim.map, ports)) {
      error = "--ports: " + path + " has only " + std::to_string(ports) + " ports";
      return false;
    }
    victim.lane = true;
    how = "ports as given";
    return true;
  }
  if (ports == 2) {
    how = "S21 of the 2-port";
    return true;
  }
  if (ports % 4 != 0) {
    error = path + ": " + std::to_string(ports) +
            " ports are no set of differential lanes; give the lane with --ports "
            "P-in,N-in,P-out,N-out";
    return false;
  }
  victim.map = detectLanes(victim.network).front();
  victim.lane = true;
  how = "ports found from the strongest through paths at " +
        hertz(victim.network.frequencies.front());
  return true;
}

std::vector<std::complex<double>> victimTransfer(const VictimNetwork& victim) {
  if (!victim.lane)
    return singleEndedTransfer(victim.network);
  const PortMap& m = victim.map;
  return differentialTransfer(victim.network, m.pIn, m.nIn, m.pOut, m.nOut);
}

bool convert(const std::vector<double>& frequencies,
             const std::vector<std::complex<double>>& transfer, const LinkTiming& timing,
             const ChannelRequest& request, const std::string& source, ConvertedChannel& converted,
             std::string& error) {
  return transferToImpulse(frequencies, transfer, timing.sampleInterval(), request.window, source,
                           converted, error);
}

bool loadVictim(const ChannelRequest& request, const LinkTiming& timing, VictimNetwork& victim,
                ChannelSet& channels, ChannelInfo& info, std::string& error) {
  const std::string& path = request.channelFile;
  if (!isTouchstoneName(path)) {
    if (!request.portMap.empty()) {
      error = "--ports applies to a Touchstone --channel file (.sNp); " + path +
              " is read as an impulse file";
      return false;
    }
    if (!readImpulseFile(path, timing.sampleInterval(), channels.channel, error))
      return false;
    info.description = path + " (impulse response)";
    describeImpulse(channels.channel, timing, info);
    info.dcNote = "sum of the impulse response";
    return true;
  }
  std::string how;
  if (!readTouchstoneFile(path, victim.network, error) || !chooseLane(request, victim, how, error))
    return false;
  const auto transfer = victimTransfer(victim);
  ConvertedChannel converted;
  if (!convert(victim.network.frequencies, transfer, timing, request, path, converted, error))
    return false;
  channels.channel = std::move(converted.impulse);
  info.description =
      path + ", " + (victim.lane ? "SDD21 of " + describePortMap(victim.map) : std::string("S21")) +
      " (" + how + ")";
  describeImpulse(channels.channel, timing, info);
  info.lossAtNyquist_dB =
      insertionLoss_dB(victim.network.frequencies, transfer, timing.BitRate / 2.0);
  const auto& f = victim.network.frequencies;
  info.dcGain = converted.dcGain;
  info.dcNote = converted.dcExtrapolated
                    ? "extrapolated to DC from " + hertz(f[0]) + " and " + hertz(f[1])
                    : "from the data at 0 Hz";
  return true;
}

// Splits "FILE@1,3,2,4" at the last '@' followed only by digits and commas.
void splitAggressorArgument(const std::string& text, std::string& file, std::string& ports) {
  const auto at = text.rfind('@');
  const bool mapFollows = at != std::string::npos && at + 1 < text.size() &&
                          text.find_first_not_of("0123456789,", at + 1) == std::string::npos;
  file = mapFollows ? text.substr(0, at) : text;
  ports = mapFollows ? text.substr(at + 1) : "";
}

bool addCrosstalkPair(const VictimNetwork& victim, int p, int n, const ChannelRequest& request,
                      const LinkTiming& timing, ChannelSet& channels, ChannelInfo& info,
                      std::string& error) {
  const auto transfer =
      differentialTransfer(victim.network, p, n, victim.map.pOut, victim.map.nOut);
  ConvertedChannel converted;
  if (!convert(victim.network.frequencies, transfer, timing, request, request.channelFile,
               converted, error)) {
    return false;
  }
  channels.aggressors.push_back(std::move(converted.impulse));
  info.aggressorNames.push_back(request.channelFile + " pair " + std::to_string(p) + "," +
                                std::to_string(n) + " into the victim's output");
  return true;
}

bool victimHasLanes(const VictimNetwork& victim, const std::string& option, std::string& error) {
  if (victim.lane)
    return true;
  error = option + ": names pairs of the --channel file, which must then be a Touchstone file " +
          "of 4 or more ports (a lane)";
  return false;
}

bool addAllOtherLanes(const VictimNetwork& victim, const ChannelRequest& request,
                      const LinkTiming& timing, ChannelSet& channels, ChannelInfo& info,
                      std::string& error) {
  const std::string option = "--aggressor @all";
  if (!victimHasLanes(victim, option, error))
    return false;
  if (victim.network.ports % 4 != 0) {
    error = option + ": " + request.channelFile + " has " + std::to_string(victim.network.ports) +
            " ports, no set of lanes";
    return false;
  }
  const PortMap& v = victim.map;
  bool any = false;
  for (const PortMap& lane : detectLanes(victim.network)) {
    const int ports[] = {lane.pIn, lane.nIn, lane.pOut, lane.nOut};
    const bool shares = std::any_of(std::begin(ports), std::end(ports), [&v](int port) {
      return port == v.pIn || port == v.nIn || port == v.pOut || port == v.nOut;
    });
    if (shares)
      continue;
    any = true;
    if (!addCrosstalkPair(victim, lane.pIn, lane.nIn, request, timing, channels, info, error) ||
        !addCrosstalkPair(victim, lane.pOut, lane.nOut, request, timing, channels, info, error)) {
      return false;
    }
  }
  if (!any)
    error = option + ": " + request.channelFile + " has no lane besides the victim's";
  return any;
}

bool addChannelPair(const std::string& ports, const VictimNetwork& victim,
                    const ChannelRequest& request, const LinkTiming& timing, ChannelSet& channels,
                    ChannelInfo& info, std::string& error) {
  const std::string option = "--aggressor @" + ports;
  int p = 0;
  int n = 0;
  if (!victimHasLanes(victim, option, error))
    return false;
  if (!parsePortPair(ports, p, n, error)) {
    error = option + ": " + error;
    return false;
  }
  const PortMap& v = victim.map;
  for (int port : {p, n}) {
    if (port > victim.network.ports) {
      error = option + ": " + request.channelFile + " has only " +
              std::to_string(victim.network.ports) + " ports";
      return false;
    }
    if (port == v.pIn || port == v.nIn || port == v.pOut || port == v.nOut) {
      error = option + ": port " + std::to_string(port) + " belongs to the victim lane";
      return false;
    }
  }
  return addCrosstalkPair(victim, p, n, request, timing, channels, info, error);
}

bool addAggressorFile(const std::string& file, const std::string& ports,
                      const ChannelRequest& request, const LinkTiming& timing, ChannelSet& channels,
                      ChannelInfo& info, std::string& error) {
  const std::string option = "--aggressor " + file;
  if (!isTouchstoneName(file)) {
    if (!ports.empty()) {
      error = option + ": a port map applies to Touchstone files (.sNp) only";
      return false;
    }
    channels.aggressors.emplace_back();
    info.aggressorNames.push_back(file);
    return readImpulseFile(file, timing.sampleInterval(), channels.aggressors.back(), error);
  }
  NetworkData network;
  if (!readTouchstoneFile(file, network, error))
    return false;
  std::vector<std::complex<double>> transfer;
  if (ports.empty()) {
    if (network.ports != 2) {
      error = option + ": a file of " + std::to_string(network.ports) +
              " ports needs its port map: " + file + "@P-in,N-in,P-out,N-out";
      return false;
    }
    transfer = singleEndedTransfer(network);
    info.aggressorNames.push_back(file + ", S21");
  } else {
    PortMap map;
    if (!parsePortMap(ports, map, error) || !portMapFits(map, network.ports)) {
      if (error.empty())
        error = file + " has only " + std::to_string(network.ports) + " ports";
      error = option + "@" + ports + ": " + error;
      return false;
    }
    transfer = differentialTransfer(network, map.pIn, map.nIn, map.pOut, map.nOut);
    info.aggressorNames.push_back(file + ", " + describePortMap(map));
  }
  ConvertedChannel converted;
  if (!convert(network.frequencies, transfer, timing, request, file, converted, error))
    return false;
  channels.aggressors.push_back(std::move(converted.impulse));
  return true;
}

}  // namespace

bool loadChannelInput(const ChannelRequest& request, const LinkTiming& timing, ChannelSet& channels,
                      ChannelInfo& info, std::string& error) {
  error.clear();
  VictimNetwork victim;
  if (!request.channelFile.empty() && !loadVictim(request, timing, victim, channels, info, error))
    return false;
  for (const std::string& argument : request.aggressors) {
    std::string file;
    std::string ports;
    splitAggressorArgument(argument, file, ports);
    const bool ok =
        argument == "@all" ? addAllOtherLanes(victim, request, timing, channels, info, error)
        : file.empty()     ? addChannelPair(ports, victim, request, timing, channels, info, error)
                           : addAggressorFile(file, ports, request, timing, channels, info, error);
    if (!ok)
      return false;
  }
  return true;
}

double impulseLoss_dB(const std::vector<double>& impulse, double sampleInterval, double frequency) {
  std::complex<double> sum = 0.0;
  const std::complex<double> step = std::polar(1.0, -2.0 * kPi * frequency * sampleInterval);
  std::complex<double> turn = 1.0;
  for (std::size_t n = 0; n < impulse.size(); ++n) {
    sum += impulse[n] * turn;
    // Renormalising keeps the rotation on the unit circle over long responses.
    turn =
        (n % 1024 == 1023)
            ? std::polar(1.0, -2.0 * kPi * frequency * sampleInterval * static_cast<double>(n + 1))
            : turn * step;
  }
  return -20.0 * std::log10(std::abs(sum * sampleInterval));
}

void describeImpulse(const std::vector<double>& impulse, const LinkTiming& timing,
                     ChannelInfo& info) {
  const double dt = timing.sampleInterval();
  double area = 0.0;
  for (double sample : impulse)
    area += sample * dt;
  info.dcGain = area;
  info.lossAtNyquist_dB = impulseLoss_dB(impulse, dt, timing.BitRate / 2.0);
  info.delay = propagationDelay(impulse, dt);
  info.preRiseEnergy = preRiseEnergy(impulse);
}

}  // namespace norvask::host
