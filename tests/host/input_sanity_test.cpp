// What the channel room says about input it can read but should not trust:
// the warnings and notes of the report, each on a small crafted file next to
// a clean one, the renormalisation of other reference impedances against
// closed-form two-ports, and the exact errors of broken files.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/app/HostRun.h"
#include "host/channel/ChannelFile.h"
#include "host/channel/ChannelInput.h"
#include "host/channel/Renormalisation.h"
#include "host/channel/Touchstone.h"
#include "support/HostStatus.h"
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
  return writeTouchstone(
      grid, 2,
      [activeAt](double f, int to, int from) -> Complex {
        if (to == from)
          return 0.1;
        return to == 2 && f == activeAt ? 1.5 : 0.5;
      },
      TouchstoneLayout{});
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
  const std::string out = testing::scratch("run");
  std::vector<const char*> argv = {"ami_host",        "--library",     NORVASK_LIBRARY_PATH,
                                   "--channel",       channel.c_str(), "--aggressor",
                                   aggressor.c_str(), "--csv",         "--out",
                                   out.c_str()};
  std::ostringstream table, err;
  ASSERT_EQ(runHostCommand(static_cast<int>(argv.size()), argv.data(), table, err), 0) << err.str();
  const std::string warning = "warning: " + aggressor + ": the data is not passive: at 1 GHz";
  EXPECT_NE(err.str().find(warning), std::string::npos) << err.str();
  EXPECT_EQ(table.str().find("warning"), std::string::npos);
}

// A resistor in series between port 1 (reference r1) and port 2 (r2).
Complex seriesResistor(int to, int from, double r1, double r2) {
  constexpr double kSeries = 30.0;
  const double sum = kSeries + r1 + r2;
  if (to != from)
    return 2.0 * std::sqrt(r1 * r2) / sum;
  return to == 1 ? (kSeries + r2 - r1) / sum : (kSeries + r1 - r2) / sum;
}

// A matched line of impedance 100 ohm and transmission `t`, seen from 50 ohm:
// reflection g = 1/3 at either end.
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
  for (const Case& c : cases) {
    std::string text = c.header + "1e9";
    for (const auto& [to, from] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) {
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
    for (int to = 1; to <= 2; ++to) {
      for (int from = 1; from <= 2; ++from) {
        EXPECT_LT(std::abs(network.S(0, to - 1, from - 1) - c.expected(to, from)), 1e-12)
            << c.name << " S" << to << from;
      }
    }
    EXPECT_FALSE(needsRenormalisation(network));
  }
}

TEST(InputErrors, BrokenFilesNameTheFileTheLineAndWhatWasExpected) {
  const std::string head = "# GHz S RI\n1 0 0 1 0 1 0 0 0\n";
  const std::string row = "0 0 0 0 0 0 0 0\n";  // a later row of a 4-port point
  struct Case {
    std::string text;
    int ports;
    std::string expected;
  };
  const Case cases[] = {
      {head + row + row + row, 2,
       "t.s2p: line 4: expected 9 numbers for a frequency point of 2 ports (the frequency and 4 "
       "value pairs), found 16 on lines 3 to 4; every point starts on a new line: does the file "
       "hold as many ports as it says?"},
      {head + head.substr(11) + head.substr(11) + head.substr(11), 4,
       "t.s2p: line 5: expected 33 numbers for a frequency point of 4 ports (the frequency and 16 "
       "value pairs), found 36 on lines 2 to 5; every point starts on a new line: does the file "
       "hold as many ports as it says?"},
      {head + "1 0 0 1 0 1 0 0 0 2 0 0 1 0 1 0 0 0\n", 2,
       "t.s2p: line 3: expected 9 numbers for a frequency point of 2 ports (the frequency and 4 "
       "value pairs), found 18 on line 3; every point starts on a new line: does the file hold as "
       "many ports as it says?"},
      {head + "2 0 0 1 0 1 0 0 0\n2 0 0 1 0 1 0 0 0\n", 2,
       "t.s2p: line 4: frequency 2e+09 Hz does not increase on the previous 2e+09 Hz"},
      {head + "2 0 0 1 0 1 0 0 0\n1.5 2 0.5 30\n", 2,
       "t.s2p: line 4: the data ends inside the frequency point that starts on line 4: 4 of 9 "
       "numbers"},
      {head + "2 0 0 nan 0 1 0 0 0\n", 2, "t.s2p: line 3: expected a number, found 'nan'"},
      {head + "2 0 0 1 0 1 0 0 -inf\n", 2, "t.s2p: line 3: expected a number, found '-inf'"},
      {"# GHz S DB\n1 0 0 140 0 0 0 0 0\n", 2,
       "t.s2p: line 2: S21 at 1e+09 Hz has magnitude 1e+07; expected an S-parameter below 1e+06 "
       "(a passive network stays at or below 1)"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    NetworkData network;
    EXPECT_EQ(failure(parseTouchstone(in, "t.s2p", c.ports, network)), c.expected) << c.text;
  }
}

TEST(InputErrors, ByteOrderMarkNoiseBlockAndImpulseValues) {
  NetworkData network;
  std::istringstream bom("\xEF\xBB\xBF# Hz S RI\n1e9 0 0 1 0 1 0 0 0\n2e9 0 0 1 0 1 0 0 0\n");
  ASSERT_TRUE(succeeded(parseTouchstone(bom, "b.s2p", 2, network)));
  EXPECT_EQ(network.frequencies, (std::vector<double>{1e9, 2e9}));  // the option line's Hz
  std::istringstream noise("# GHz S RI\n1 0 0 1 0 1 0 0 0\n2 0 0 1 0 1 0 0 0\n1 2 0.5 30 0.2\n");
  ASSERT_TRUE(succeeded(parseTouchstone(noise, "n.s2p", 2, network)));
  EXPECT_EQ(network.noiseLine, 4);
  EXPECT_EQ(network.pointLines, (std::vector<int>{2, 3}));
  const std::pair<std::string, std::string> impulses[] = {
      {std::string("\xEF\xBB\xBF") + "0 1\n1e-12 2\n", "<ok>"},
      {"0 nan\n1e-12 2\n",
       "h.txt: line 1: expected two numbers (time in s, value in 1/s), found 'nan'"},
      {"0 1\n1e-12 1e31\n",
       "h.txt: line 2: expected a value in 1/s of magnitude up to 1e+30, found '1e31'"},
  };
  for (const auto& [text, expected] : impulses) {
    std::istringstream in(text);
    SampledWaveform waveform;
    EXPECT_EQ(failure(parseTwoColumnText(in, "h.txt", waveform)), expected) << text;
    if (expected == "<ok>") {
      EXPECT_EQ(waveform.value, (std::vector<double>{1.0, 2.0}));
    }
  }
}

}  // namespace
}  // namespace norvask::host
