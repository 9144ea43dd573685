#include "host/channel/InputSanity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "host/base/EngineeringFormat.h"

namespace norvask::host {

namespace {

constexpr double kPassivityTolerance = 1e-3;
constexpr std::size_t kMinPointsToNyquist = 10;
constexpr double kOutlierStepRatio = 100.0;
constexpr double kMinImpulseGain = 1e-3;
constexpr double kMaxImpulseGain = 2.0;
constexpr double kWeakLaneShare = 0.5;

std::string entryName(int to, int from, int ports) {
  return "S" + std::to_string(to + 1) + (ports > 9 ? "," : "") + std::to_string(from + 1);
}

void checkPassivity(const NetworkData& network, const std::string& path,
                    std::vector<std::string>& warnings) {
  double worst = 0.0;
  std::size_t worstFrequency = 0;
  int worstColumn = 0;
  for (std::size_t f = 0; f < network.frequencies.size(); ++f) {
    for (int j = 0; j < network.ports; ++j) {
      double power = 0.0;
      for (int i = 0; i < network.ports; ++i)
        power += std::norm(network.S(f, i, j));
      if (power > worst) {
        worst = power;
        worstFrequency = f;
        worstColumn = j;
      }
    }
  }
  if (!(worst > 1.0 + kPassivityTolerance))
    return;
  int largest = 0;
  for (int i = 1; i < network.ports; ++i) {
    if (std::abs(network.S(worstFrequency, i, worstColumn)) >
        std::abs(network.S(worstFrequency, largest, worstColumn)))
      largest = i;
  }
  warnings.push_back("warning: " + path + ": the data is not passive: at " +
                     hertz(network.frequencies[worstFrequency]) + " (line " +
                     std::to_string(network.pointLines[worstFrequency]) + ") a wave into port " +
                     std::to_string(worstColumn + 1) + " leaves with " + plain(worst) +
                     " times its power (the largest column power sum, sum over i of |Si" +
                     std::to_string(worstColumn + 1) + "|^2, above 1); its largest entry is |" +
                     entryName(largest, worstColumn, network.ports) +
                     "| = " + plain(std::abs(network.S(worstFrequency, largest, worstColumn))));
}

void checkBand(const NetworkData& network, const std::string& path, const LinkTiming& timing,
               std::vector<std::string>& warnings) {
  const auto& f = network.frequencies;
  const double nyquist = timing.BitRate / 2.0;
  if (f.back() < nyquist) {
    warnings.push_back("warning: " + path + ": the data ends at " + hertz(f.back()) +
                       ", below the Nyquist frequency " + hertz(nyquist) + " of " +
                       bitRate(timing.BitRate) + "; the channel above " + hertz(f.back()) +
                       " is unknown and taken as zero");
    return;
  }
  const auto upToNyquist =
      static_cast<std::size_t>(std::upper_bound(f.begin(), f.end(), nyquist) - f.begin());
  if (upToNyquist >= kMinPointsToNyquist)
    return;
  warnings.push_back("warning: " + path + ": only " + std::to_string(upToNyquist) + " of " +
                     std::to_string(f.size()) + " frequency points lie up to the Nyquist " +
                     "frequency " + hertz(nyquist) + " (the data runs to " + hertz(f.back()) +
                     " in steps of " + hertz((f.back() - f.front()) / double(f.size() - 1)) +
                     "); the band the link uses is sampled too coarsely");
}

// The largest step between neighbouring frequencies that stands out from
// the steps on both sides of it.
void checkOutliers(const NetworkData& network, const std::string& path,
                   std::vector<std::string>& warnings) {
  const auto& f = network.frequencies;
  double worstRatio = kOutlierStepRatio;
  std::size_t worst = 0;
  double around = 0.0;
  for (std::size_t i = 1; i < f.size(); ++i) {
    const double before = i >= 2 ? f[i - 1] - f[i - 2] : 0.0;
    const double after = i + 1 < f.size() ? f[i + 1] - f[i] : 0.0;
    const double neighbour = std::max(before, after);
    const double step = f[i] - f[i - 1];
    if (neighbour > 0.0 && step > worstRatio * neighbour) {
      worstRatio = step / neighbour;
      worst = i;
      around = neighbour;
    }
  }
  if (worst == 0)
    return;
  warnings.push_back("warning: " + path + ": lines " +
                     std::to_string(network.pointLines[worst - 1]) + " and " +
                     std::to_string(network.pointLines[worst]) + ": the frequency jumps from " +
                     hertz(f[worst - 1]) + " to " + hertz(f[worst]) + ", " +
                     (std::isfinite(worstRatio) ? plain(worstRatio) : "immeasurably many") +
                     " times the steps around it (up to " + hertz(around) +
                     "); a typing error in one of them moves the whole response in time");
}

void noteNoiseData(const NetworkData& network, const std::string& path,
                   std::vector<std::string>& warnings) {
  if (network.noiseLine > 0) {
    warnings.push_back("note: " + path + ": line " + std::to_string(network.noiseLine) +
                       ": noise parameters start here; they are ignored");
  }
}

std::string magnitudeText(double magnitude) {
  return plain(magnitude) + " (" + decibels(20.0 * std::log10(magnitude)) + ")";
}

}  // namespace

void checkNetwork(const NetworkData& network, const std::string& path, const LinkTiming& timing,
                  std::vector<std::string>& warnings) {
  noteNoiseData(network, path, warnings);
  checkPassivity(network, path, warnings);
  // One point is refused by the conversion, with its own message.
  if (network.frequencies.size() < 2)
    return;
  checkBand(network, path, timing, warnings);
  checkOutliers(network, path, warnings);
}

void checkGivenLane(const NetworkData& network, const PortMap& given, const std::string& givenText,
                    std::vector<std::string>& warnings) {
  // SDD21 at the lowest frequency, 1-based ports as in PortMap.
  const auto through = [&network](const PortMap& m) {
    const auto s = [&network](int to, int from) { return network.S(0, to - 1, from - 1); };
    return std::abs(0.5 *
                    (s(m.pOut, m.pIn) - s(m.pOut, m.nIn) - s(m.nOut, m.pIn) + s(m.nOut, m.nIn)));
  };
  const double givenMagnitude = through(given);
  double strongest = 0.0;
  PortMap best;
  for (const PortMap& lane : detectLanes(network)) {
    if (through(lane) > strongest) {
      strongest = through(lane);
      best = lane;
    }
  }
  if (!(givenMagnitude < kWeakLaneShare * strongest))
    return;
  warnings.push_back("warning: --ports " + givenText +
                     ": this lane passes |SDD21| = " + magnitudeText(givenMagnitude) + " at " +
                     hertz(network.frequencies.front()) + ", while the lane " +
                     describePortMap(best) + " passes " + magnitudeText(strongest) +
                     "; are the ports given in the order P-in,N-in,P-out,N-out?");
}

void checkImpulseGain(const std::string& path, double dcGain, double fileStep,
                      std::vector<std::string>& warnings) {
  const double magnitude = std::abs(dcGain);
  if (magnitude >= kMinImpulseGain && magnitude <= kMaxImpulseGain)
    return;
  const std::string hint = magnitude < kMinImpulseGain
                               ? "; if the file gives each sample's share of the step, divide "
                                 "its values by its time step (" +
                                     seconds(fileStep) + ")"
                               : "";
  warnings.push_back("warning: " + path + ": the DC gain (the samples times their interval) is " +
                     plain(dcGain) + ", implausible for an impulse response in 1/s (expected " +
                     plain(kMinImpulseGain) + " to " + plain(kMaxImpulseGain) + ")" + hint);
}

}  // namespace norvask::host
