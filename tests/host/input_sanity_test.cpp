// Input the channel room reads but should not trust: each warning on a crafted
// file, and renormalisation against closed-form two-ports.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/channel/ChannelInput.h"
#include "host/channel/Renormalisation.h"
#include "host/channel/Touchstone.h"
#include "support/HostStatus.h"
#include "support/InProcessHost.h"
#include "support/ScratchFiles.h"
#include "tools/TouchstoneWriter.h"

namespace norvask::host {
namespace {

using Complex = std::complex<double>;
using testing::failure;
using testing::succeeded;
using testing::writeScratch;
using tools::frequencyGrid;
using tools::TouchstoneLayout;
using tools::writeTouchstone;

// A reciprocal 2-port, S11 = S22 = 0.1 and S21 = S12 = 0.5, with S21 = 1.5
// at `activeAt` (Hz, or none).
std::string twoPort(const std::vector<double>& grid, double activeAt = -1.0) {
  const auto entry = [activeAt](double f, int to, int from) -> Complex {
    return to == from ? 0.1 : (to == 2 && f == activeAt ? 1.5 : 0.5);
  };
  return writeTouchstone(grid, 2, entry, TouchstoneLayout{});
}

// Lines 1->2 and 3->4 at 0.9, each coupling 0.01 into the other.
Complex twoLines(double, int to, int from) {
  if (to + from == 3 || to + from == 7)
    return 0.9;
  return std::abs(to - from) == 2 ? 0.01 : 0.0;
}

std::string withPath(std::string text, const std::string& path) {
  for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
    text.replace(at, 1, path);
  return text;
}

TEST(InputSanity, EachWarningFiresOnItsFileAndACleanFileStaysSilent) {
  const auto grid = frequencyGrid(1e8, 1e8, 20);  // to 2 GHz, Nyquist 1 GHz at 2 Gb/s
  std::vector<double> logGrid;                    // ten points a decade, 1 MHz to 10 GHz
  for (int k = 0; k <= 40; ++k)
    logGrid.push_back(std::pow(10.0, 6.0 + k / 10.0));
  auto outlier = grid;
  outlier.back() = 1e13;
  const std::string clean = twoPort(grid);
  std::string ohm100 = clean;
  ohm100.replace(ohm100.find("R 50"), 4, "R 100");
  const std::string v2 = writeTouchstone(grid, 2, [](double, int, int) { return 0.5; }, {2});
  std::string mixed = v2;
  mixed.replace(mixed.find("[Reference] 50 50"), 17, "[Reference] 50 100");
  std::string v2Noise = v2;
  v2Noise.replace(v2Noise.find("[End]"), 5, "[Noise Data]\n1 2 0.5 30 0.2\n[End]");
  struct Case {
    std::string name, text, ports, expected;
  };
  const Case cases[] = {
      {"clean.s2p", clean, "", ""},
      {"log.s2p", twoPort(logGrid), "", ""},
      {"clean.txt", "0 0\n1e-11 1e11\n2e-11 0\n", "", ""},
      {"lanes.s4p", writeTouchstone(grid, 4, twoLines, {}), "1,3,2,4", ""},
      {"active.s2p", twoPort(grid, 1e9), "",
       "warning: @: the data is not passive: at 1 GHz (line 12) a wave into port 1 leaves with "
       "2.26 times its power (the largest column power sum, sum over i of |Si1|^2, above 1); its "
       "largest entry is |S21| = 1.5\n"},
      {"short.s2p", twoPort(frequencyGrid(1e7, 1e7, 60)), "",
       "warning: @: the data ends at 600 MHz, below the Nyquist frequency 1 GHz of 2 Gb/s; the "
       "channel above 600 MHz is unknown and taken as zero\n"},
      {"coarse.s2p", twoPort(frequencyGrid(1e9, 1e9, 20)), "",
       "warning: @: only 1 of 20 frequency points lie up to the Nyquist frequency 1 GHz (the data "
       "runs to 20 GHz in steps of 1 GHz); the band the link uses is sampled too coarsely\n"},
      {"outlier.s2p", twoPort(outlier), "",
       "warning: @: lines 21 and 22: the frequency jumps from 1.9 GHz to 10 THz, 9.998e+04 times "
       "the steps around it (up to 100 MHz); a typing error in one of them moves the whole "
       "response in time\n"},
      {"noise.s2p", clean + "0.5 2 0.5 30 0.2\n1 2.5 0.4 40 0.3\n", "",
       "note: @: line 23: noise parameters start here; they are ignored\n"},
      {"ohm100.s2p", ohm100, "",
       "note: @: the reference impedance 100 ohm is renormalised to 50 ohm at every port\n"},
      {"mixed.s2p", mixed, "",
       "note: @: the reference impedance 50, 100 ohm is renormalised to 50 ohm at every port\n"},
      {"v2noise.s2p", v2Noise, "",
       "note: @: line 29: noise parameters start here; they are ignored\n"},
      {"persample.txt", "0 0\n1e-11 1e-3\n2e-11 0\n", "",
       "warning: @: the DC gain (the samples times their interval) is 6.836e-15, implausible for "
       "an impulse response in 1/s (expected 0.001 to 2); if the file gives each sample's share "
       "of the step, divide its values by its time step (10 ps)\n"},
      {"lanes.s4p", writeTouchstone(grid, 4, twoLines, {}), "1,2,3,4",
       "warning: --ports 1,2,3,4: this lane passes |SDD21| = 0.01 (-40.00 dB) at 100 MHz, while "
       "the lane P-in 1, N-in 3, P-out 2, N-out 4 passes 0.9 (-0.92 dB); are the ports given in "
       "the order P-in,N-in,P-out,N-out?\n"},
  };
  for (const Case& c : cases) {
    ChannelRequest request;
    request.channelFile = writeScratch(c.name, c.text);
    request.portMap = c.ports;
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(succeeded(loadChannelInput(request, LinkTiming{2e9, 32}, channels, info)))
        << c.name;
    std::string warnings;
    for (const std::string& line : info.warnings)
      warnings += line + "\n";
    EXPECT_EQ(warnings, withPath(c.expected, request.channelFile)) << c.name;
  }
}

TEST(InputSanity, AggressorFilesAreCheckedAndCsvRunsPutWarningsOnStandardError) {
  const auto grid = frequencyGrid(1e8, 1e8, 20);
  const std::string channel = writeScratch("channel.s2p", twoPort(grid));
  const std::string aggressor = writeScratch("aggressor.s2p", twoPort(grid, 1e9));
  const testing::HostOutcome run =
      testing::runInProcess({"--library", NORVASK_LIBRARY_PATH, "--channel", channel, "--aggressor",
                             aggressor, "--csv", "--out", testing::scratch("run")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string warning = "warning: " + aggressor + ": the data is not passive: at 1 GHz";
  EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("warning"), std::string::npos);
}

// A resistor in series between port 1 (reference r1) and port 2 (r2).
Complex seriesResistor(int to, int from, double r1, double r2) {
  constexpr double kSeries = 30.0;
  const double sum = kSeries + r1 + r2;
  if (to != from)
    return 2.0 * std::sqrt(r1 * r2) / sum;
  return to == 1 ? (kSeries + r2 - r1) / sum : (kSeries + r1 - r2) / sum;
}

// A matched 100 ohm line of transmission `t` seen from 50 ohm: reflection 1/3 at either end.
Complex lineFrom50(Complex t, int to, int from) {
  const double g = 1.0 / 3.0;
  const Complex denominator = 1.0 - g * g * t * t;
  return to == from ? g * (1.0 - t * t) / denominator : t * (1.0 - g * g) / denominator;
}

TEST(Renormalisation, OtherReferencesMatchClosedFormTwoPortsAt50Ohm) {
  const Complex t = std::polar(0.8, -1.1);
  struct Case {
    const char* name;
    std::string header;  // option line and references
    std::function<Complex(int, int)> given, expected;
  };
  const std::string v2 =
      "[Version] 2.0\n# Hz S RI R 50\n[Number of Ports] 2\n"
      "[Two-Port Data Order] 21_12\n[Reference] ";
  const Case cases[] = {
      {"series 30 ohm, 100 ohm ports", "# Hz S RI R 100\n",
       [](int to, int from) { return seriesResistor(to, from, 100, 100); },
       [](int to, int from) { return seriesResistor(to, from, 50, 50); }},
      {"series 30 ohm, ports at 50 and 100 ohm", v2 + "50 100\n[Network Data]\n",
       [](int to, int from) { return seriesResistor(to, from, 50, 100); },
       [](int to, int from) { return seriesResistor(to, from, 50, 50); }},
      {"matched 100 ohm line", "# Hz S RI R 100\n",
       [t](int to, int from) { return to == from ? Complex(0.0) : t; },
       [t](int to, int from) { return lineFrom50(t, to, from); }},
  };
  const std::pair<int, int> entries[] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}};  // in the file's order
  for (const Case& c : cases) {
    std::string text = c.header + "1e9";
    for (const auto& [to, from] : entries) {
      char pair[80];
      std::snprintf(pair, sizeof pair, " %.17g %.17g", c.given(to, from).real(),
                    c.given(to, from).imag());
      text += pair;
    }
    std::istringstream in(text + "\n");
    NetworkData network;
    ASSERT_TRUE(succeeded(parseTouchstone(in, "r.s2p", 2, network))) << c.name;
    ASSERT_TRUE(needsRenormalisation(network)) << c.name;
    ASSERT_TRUE(succeeded(renormaliseTo50Ohm(network, "r.s2p"))) << c.name;
    for (const auto& [to, from] : entries) {
      EXPECT_LT(std::abs(network.S(0, to - 1, from - 1) - c.expected(to, from)), 1e-12)
          << c.name << " S" << to << from;
    }
    EXPECT_FALSE(needsRenormalisation(network));
  }
}

}  // namespace
}  // namespace norvask::host
