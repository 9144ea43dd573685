#include "host/channel/AggressorInput.h"

#include <algorithm>

#include "host/channel/ChannelSources.h"

namespace norvask::host {

namespace {

// What an aggressor is converted with.
struct Conversion {
  BandWindow window;
  const LinkTiming& timing;
};

// Splits "FILE@1,3,2,4" at the last '@' followed only by digits and commas.
void splitAggressorArgument(const std::string& text, std::string& file, std::string& ports) {
  const auto at = text.rfind('@');
  const bool mapFollows = at != std::string::npos && at + 1 < text.size() &&
                          text.find_first_not_of("0123456789,", at + 1) == std::string::npos;
  file = mapFollows ? text.substr(0, at) : text;
  ports = mapFollows ? text.substr(at + 1) : "";
}

bool onVictimLane(const PortMap& v, int port) {
  return port == v.pIn || port == v.nIn || port == v.pOut || port == v.nOut;
}

Status addCrosstalkPair(const VictimNetwork& victim, int p, int n, const Conversion& conversion,
                        ChannelSet& channels, ChannelInfo& info) {
  const auto transfer =
      differentialTransfer(victim.network, p, n, victim.map.pOut, victim.map.nOut);
  ConvertedChannel converted;
  if (Status status = convertTransfer(victim.network.frequencies, transfer, conversion.timing,
                                      conversion.window, victim.path, converted);
      !status.ok()) {
    return status;
  }
  channels.aggressors.push_back(std::move(converted.impulse));
  info.aggressorNames.push_back(victim.path + " pair " + std::to_string(p) + "," +
                                std::to_string(n) + " into the victim's output");
  return Status::Ok();
}

Status victimHasLanes(const VictimNetwork& victim) {
  if (victim.lane)
    return Status::Ok();
  return Status::Error(
      "names pairs of the --channel file, which must then be a Touchstone file of 4 or more "
      "ports (a lane)");
}

// The lanes of the --channel file that share no port with the victim's.
Status otherLanes(const VictimNetwork& victim, std::vector<PortMap>& lanes) {
  if (Status hasLanes = victimHasLanes(victim); !hasLanes.ok())
    return hasLanes;
  const int ports = victim.network.ports;
  if (ports % 4 != 0)
    return Status::Error(victim.path + " has " + std::to_string(ports) + " ports, no set of lanes");
  for (const PortMap& lane : detectLanes(victim.network)) {
    const int lanePorts[] = {lane.pIn, lane.nIn, lane.pOut, lane.nOut};
    if (std::none_of(std::begin(lanePorts), std::end(lanePorts),
                     [&victim](int port) { return onVictimLane(victim.map, port); })) {
      lanes.push_back(lane);
    }
  }
  return lanes.empty() ? Status::Error(victim.path + " has no lane besides the victim's")
                       : Status::Ok();
}

Status addAllOtherLanes(const VictimNetwork& victim, const Conversion& conversion,
                        ChannelSet& channels, ChannelInfo& info) {
  std::vector<PortMap> lanes;
  if (Status found = otherLanes(victim, lanes); !found.ok())
    return found.Within("--aggressor @all");
  for (const PortMap& lane : lanes) {
    for (const auto& [p, n] : {std::pair{lane.pIn, lane.nIn}, std::pair{lane.pOut, lane.nOut}}) {
      if (Status added = addCrosstalkPair(victim, p, n, conversion, channels, info); !added.ok())
        return added;
    }
  }
  return Status::Ok();
}

// The pair "P,N" of the --channel file, checked against the victim's lane.
Status channelPair(const std::string& ports, const VictimNetwork& victim, int& p, int& n) {
  if (Status hasLanes = victimHasLanes(victim); !hasLanes.ok())
    return hasLanes;
  if (Status parsed = parsePortPair(ports, p, n); !parsed.ok())
    return parsed;
  for (int port : {p, n}) {
    if (port > victim.network.ports) {
      return Status::Error(victim.path + " has only " + std::to_string(victim.network.ports) +
                           " ports");
    }
    if (onVictimLane(victim.map, port))
      return Status::Error("port " + std::to_string(port) + " belongs to the victim lane");
  }
  return Status::Ok();
}

Status addChannelPair(const std::string& ports, const VictimNetwork& victim,
                      const Conversion& conversion, ChannelSet& channels, ChannelInfo& info) {
  int p = 0;
  int n = 0;
  if (Status checked = channelPair(ports, victim, p, n); !checked.ok())
    return checked.Within("--aggressor @" + ports);
  return addCrosstalkPair(victim, p, n, conversion, channels, info);
}

// The transfer a Touchstone aggressor file names, and its name in the report.
// A failure is about the argument, not the file's contents.
Status touchstoneTransfer(const std::string& file, const std::string& ports,
                          const NetworkData& network, std::vector<std::complex<double>>& transfer,
                          std::string& name) {
  if (ports.empty()) {
    if (network.ports != 2) {
      return Status::Error("a file of " + std::to_string(network.ports) +
                           " ports needs its port map: " + file + "@P-in,N-in,P-out,N-out");
    }
    transfer = singleEndedTransfer(network);
    name = file + ", S21";
    return Status::Ok();
  }
  PortMap map;
  if (Status parsed = parsePortMap(ports, map); !parsed.ok())
    return parsed;
  if (!portMapFits(map, network.ports))
    return Status::Error(file + " has only " + std::to_string(network.ports) + " ports");
  transfer = differentialTransfer(network, map.pIn, map.nIn, map.pOut, map.nOut);
  name = file + ", " + describePortMap(map);
  return Status::Ok();
}

Status addAggressorFile(const std::string& file, const std::string& ports,
                        const Conversion& conversion, ChannelSet& channels, ChannelInfo& info) {
  if (!isTouchstoneName(file)) {
    if (!ports.empty()) {
      return Status::Error("a port map applies to Touchstone files (.sNp) only")
          .Within("--aggressor " + file);
    }
    channels.aggressors.emplace_back();
    info.aggressorNames.push_back(file);
    return readImpulseFile(file, conversion.timing.sampleInterval(), channels.aggressors.back());
  }
  NetworkData network;
  if (Status read = readNetwork(file, conversion.timing, network, info.warnings); !read.ok())
    return read;
  std::vector<std::complex<double>> transfer;
  std::string name;
  if (Status found = touchstoneTransfer(file, ports, network, transfer, name); !found.ok())
    return found.Within("--aggressor " + file + (ports.empty() ? "" : "@" + ports));
  info.aggressorNames.push_back(name);
  ConvertedChannel converted;
  if (Status status = convertTransfer(network.frequencies, transfer, conversion.timing,
                                      conversion.window, file, converted);
      !status.ok()) {
    return status;
  }
  channels.aggressors.push_back(std::move(converted.impulse));
  return Status::Ok();
}

}  // namespace

Status addAggressor(const std::string& argument, const VictimNetwork& victim, BandWindow window,
                    const LinkTiming& timing, ChannelSet& channels, ChannelInfo& info) {
  const Conversion conversion{window, timing};
  std::string file;
  std::string ports;
  splitAggressorArgument(argument, file, ports);
  if (argument == "@all")
    return addAllOtherLanes(victim, conversion, channels, info);
  if (file.empty())
    return addChannelPair(ports, victim, conversion, channels, info);
  return addAggressorFile(file, ports, conversion, channels, info);
}

}  // namespace norvask::host
