#include "host/channel/PortMap.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "host/base/NumberText.h"

namespace norvask::host {

namespace {

// Comma-separated port numbers, each 1 to kMaxTouchstonePorts, all distinct.
Status parsePorts(const std::string& text, std::size_t count, std::vector<int>& ports) {
  ports.clear();
  std::istringstream in(text);
  std::set<int> seen;
  for (std::string field; std::getline(in, field, ',');) {
    long long port = 0;
    if (!readInteger(field, 1, kMaxTouchstonePorts, port)) {
      return Status::Error("expected port numbers from 1 to " +
                           std::to_string(kMaxTouchstonePorts) + ", found '" + field + "'");
    }
    if (!seen.insert(static_cast<int>(port)).second)
      return Status::Error("port " + field + " is named twice");
    ports.push_back(static_cast<int>(port));
  }
  if (ports.size() != count || (!text.empty() && text.back() == ',')) {
    return Status::Error("expected " + std::to_string(count) +
                         " comma-separated port numbers, found '" + text + "'");
  }
  return Status::Ok();
}

}  // namespace

Status parsePortMap(const std::string& text, PortMap& map) {
  std::vector<int> ports;
  Status parsed = parsePorts(text, 4, ports);
  if (parsed.ok())
    map = PortMap{ports[0], ports[1], ports[2], ports[3]};
  return parsed;
}

Status parsePortPair(const std::string& text, int& p, int& n) {
  std::vector<int> ports;
  Status parsed = parsePorts(text, 2, ports);
  if (parsed.ok()) {
    p = ports[0];
    n = ports[1];
  }
  return parsed;
}

std::string describePortMap(const PortMap& map) {
  return "P-in " + std::to_string(map.pIn) + ", N-in " + std::to_string(map.nIn) + ", P-out " +
         std::to_string(map.pOut) + ", N-out " + std::to_string(map.nOut);
}

bool portMapFits(const PortMap& map, int ports) {
  return std::max({map.pIn, map.nIn, map.pOut, map.nOut}) <= ports;
}

std::vector<PortMap> detectLanes(const NetworkData& network) {
  struct Path {
    double strength;
    int low;
    int high;
  };
  std::vector<Path> paths;
  for (int i = 0; i < network.ports; ++i) {
    for (int j = i + 1; j < network.ports; ++j)
      paths.push_back({std::abs(network.S(0, j, i)) + std::abs(network.S(0, i, j)), i, j});
  }
  // Stable, so equal strengths keep the lower port numbers first.
  std::stable_sort(paths.begin(), paths.end(),
                   [](const Path& a, const Path& b) { return a.strength > b.strength; });
  std::vector<bool> used(static_cast<std::size_t>(network.ports), false);
  std::vector<std::pair<int, int>> lines;  // (input, output), 1-based
  for (const auto& path : paths) {
    if (used[static_cast<std::size_t>(path.low)] || used[static_cast<std::size_t>(path.high)])
      continue;
    used[static_cast<std::size_t>(path.low)] = used[static_cast<std::size_t>(path.high)] = true;
    lines.emplace_back(path.low + 1, path.high + 1);
  }
  std::sort(lines.begin(), lines.end());
  std::vector<PortMap> lanes;
  for (std::size_t k = 0; k + 1 < lines.size(); k += 2) {
    lanes.push_back({lines[k].first, lines[k + 1].first, lines[k].second, lines[k + 1].second});
  }
  return lanes;
}

std::vector<std::complex<double>> differentialTransfer(const NetworkData& network, int fromP,
                                                       int fromN, int toP, int toN) {
  std::vector<std::complex<double>> transfer(network.frequencies.size());
  for (std::size_t f = 0; f < transfer.size(); ++f) {
    transfer[f] = 0.5 * (network.S(f, toP - 1, fromP - 1) - network.S(f, toP - 1, fromN - 1) -
                         network.S(f, toN - 1, fromP - 1) + network.S(f, toN - 1, fromN - 1));
  }
  return transfer;
}

std::vector<std::complex<double>> singleEndedTransfer(const NetworkData& network) {
  std::vector<std::complex<double>> transfer(network.frequencies.size());
  for (std::size_t f = 0; f < transfer.size(); ++f)
    transfer[f] = network.S(f, 1, 0);
  return transfer;
}

}  // namespace norvask::host
