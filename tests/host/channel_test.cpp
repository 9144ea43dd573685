// The channel room: impulse files, Touchstone, port maps and every channel
// source, against analytic networks known in closed form (TouchstoneWriter.h).
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/analysis/EyeMetrics.h"
#include "host/base/MathConstants.h"
#include "host/channel/ChannelFigures.h"
#include "host/channel/ChannelFile.h"
#include "host/channel/ChannelInput.h"
#include "host/channel/PortMap.h"
#include "host/channel/SParameterChannel.h"
#include "host/channel/Touchstone.h"
#include "support/HostStatus.h"
#include "support/ScratchFiles.h"
#include "tools/ExampleLane.h"
#include "tools/TouchstoneWriter.h"

namespace norvask::host {
namespace {

using testing::failure;
using testing::succeeded;
using testing::writeScratch;
using tools::delayedLowPass;
using tools::frequencyGrid;
using tools::TouchstoneLayout;
using tools::writeTouchstone;

constexpr double kDelay = 1e-9;
constexpr double kCorner = 2e9;  // RC = 79.58 ps
constexpr double kGain = 0.9;

std::complex<double> lowPass(double f) {
  return delayedLowPass(f, kDelay, kCorner, kGain);
}

// A deliberately non-reciprocal 2-port, so that a swapped S12/S21 shows.
std::complex<double> twoPort(double f, int to, int from) {
  if (to == from)
    return 1e-3;
  return to == 2 ? lowPass(f) : 0.5 * lowPass(f);
}

Status parse(const std::string& text, int ports, NetworkData& network) {
  std::istringstream in(text);
  return parseTouchstone(in, "ch.s2p", ports, network);
}

double area(const std::vector<double>& impulse, double dt) {
  return std::accumulate(impulse.begin(), impulse.end(), 0.0) * dt;
}

TEST(TouchstoneReader, EveryFormatUnitAndVersionReadsTheSameNetwork) {
  const std::vector<double> grid = frequencyGrid(1e8, 1e8, 5);
  for (const int version : {1, 2}) {
    for (const char* format : {"RI", "MA", "DB"}) {
      for (const char* unit : {"Hz", "kHz", "MHz", "GHz"}) {
        const TouchstoneLayout layout{version, format, unit, 4};
        NetworkData network;
        ASSERT_TRUE(succeeded(parse(writeTouchstone(grid, 2, twoPort, layout), 2, network)));
        ASSERT_EQ(network.frequencies.size(), 5u);
        for (std::size_t f = 0; f < 5; ++f) {
          EXPECT_NEAR(network.frequencies[f], grid[f], 1e-3);
          EXPECT_LT(std::abs(network.S(f, 1, 0) - lowPass(grid[f])), 1e-7) << format << unit;
          EXPECT_LT(std::abs(network.S(f, 0, 1) - 0.5 * lowPass(grid[f])), 1e-7) << format;
          EXPECT_LT(std::abs(network.S(f, 0, 0) - 1e-3), 1e-10) << format;
        }
      }
    }
  }
}

TEST(TouchstoneReader, WrappedRowsCommentsKeywordsNoiseDataAndAByteOrderMark) {
  // Version 1, 3 ports: rows wrapped anywhere, comments after data and alone.
  NetworkData network;
  ASSERT_TRUE(
      succeeded(parse("! header\n# Hz s ri r 75 ! options\n1 1 0 2 0 ! S11 S12\n3 0\n"
                      "4 0 5 0 6 0\n7 0\n! between\n 8 0 9 0\n",
                      3, network)));
  EXPECT_EQ(network.referenceOhms, 75.0);
  EXPECT_EQ(network.S(0, 0, 2), 3.0);
  EXPECT_EQ(network.S(0, 2, 1), 8.0);
  // A version 1 two-port: a frequency that does not rise starts noise data.
  ASSERT_TRUE(succeeded(
      parse("# MHz S MA\n1 1 0 2 0 3 0 4 0\n2 1 0 2 0 3 0 4 0\n1 2 0 0.5 50\n", 2, network)));
  EXPECT_EQ(network.frequencies, (std::vector<double>{1e6, 2e6}));
  EXPECT_EQ(network.S(1, 1, 0), 2.0);  // S21 is the second pair
  EXPECT_EQ(network.noiseLine, 4);
  EXPECT_EQ(network.pointLines, (std::vector<int>{2, 3}));
  ASSERT_TRUE(succeeded(parse("\xEF\xBB\xBF# Hz S RI\n1e9 0 0 1 0 1 0 0 0\n", 2, network)));
  EXPECT_EQ(network.frequencies, std::vector<double>{1e9});  // the option line's Hz
  // Version 2: lower triangle, references over two lines, an information block.
  ASSERT_TRUE(
      succeeded(parse("[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 3\n"
                      "[Number of Frequencies] 1\n[Reference] 50 50\n 25\n[Matrix Format] Lower\n"
                      "[Begin Information]\nanything [here]\n[End Information]\n[Network Data]\n"
                      "1 1 0\n2 0 3 0\n4 0 5 0 6 0\n[End]\nignored after the end\n",
                      0, network)));
  EXPECT_EQ(network.ports, 3);
  EXPECT_EQ(network.S(0, 0, 1), 2.0);  // mirrored from the lower triangle
  EXPECT_EQ(network.S(0, 2, 1), 5.0);
  EXPECT_EQ(network.S(0, 1, 2), 5.0);
}

TEST(TouchstoneReader, ErrorsNameTheFileAndLine) {
  const std::string v2 = "[Version] 2.0\n# GHz S RI\n[Number of Ports] 2\n";
  const std::string v1 = "# GHz S RI\n1 0 0 1 0 1 0 0 0\n";
  const std::string row = "0 0 0 0 0 0 0 0\n";  // a later row of a 4-port point
  const std::string points =
      "expected 9 numbers for a frequency point of 2 ports (the "
      "frequency and 4 value pairs), found ";
  const std::string ask =
      "; every point starts on a new line: does the file hold as many "
      "ports as it says?";
  const struct {
    std::string text, message;
    int ports = 2;
  } cases[] = {
      {"# GHz S RI\n1 0 0 1 0 1 0 x 0\n", "line 2: expected a number, found 'x'"},
      {"# GHz S RI\n1 0 0 1 0 1 0 nan 0\n", "line 2: expected a number, found 'nan'"},
      {"# GHz Z RI\n", "line 1: parameter type Z is not read; only S-parameters are"},
      {"# GHz S XY\n", "line 1: unknown option 'XY' in the option line"},
      {"# GHz S RI\n1 0 0 1 0\n1 0 0\n",
       "line 3: the data ends inside the frequency point that starts on line 2: 8 of 9 numbers"},
      {v2 + "[Two-Port Data Order] 12_21\n[Network Data]\n2 0 0 1 0 1 0 0 0\n1 0 0 1 0 1 0 0 0\n",
       "line 7: frequency 1e+09 Hz does not increase on the previous 2e+09 Hz"},
      {"[Number of Ports] 2\n", "line 1: [Number of Ports] before [Version]"},
      {"# GHz S RI\n[Version] 2.0\n", "line 2: [Version] must come first"},
      {"[Version] 3.0\n", "line 1: version '3.0' is not read (1.x has no [Version]; 2.x is read)"},
      {"[Version] 2.0\n[Number of Ports] 33\n",
       "line 2: [Number of Ports] must be 2 to 32, found '33'"},
      {v2 + "[Network Data]\n", "line 4: a 2-port file of version 2 needs [Two-Port Data Order]"},
      {v2 + "[Two-Port Data Order] 12_21\n[Number of Frequencies] 2\n[Network Data]\n"
            "1 0 0 1 0 1 0 0 0\n",
       "[Number of Frequencies] says 2, the data has 1"},
      {v2 + "[Colour] blue\n", "line 4: unknown keyword [Colour]"},
      {"[Version] 2.0\n[Number of Ports] 4x\n",
       "line 2: [Number of Ports] must be 2 to 32, found '4x'"},
      {v2 + "[Number of Frequencies] 0\n",
       "line 4: [Number of Frequencies] must be a positive integer, found '0'"},
      {"# GHz S RI R -50\n", "line 1: the reference resistance must be a number > 0, found '-50'"},
      {"! nothing\n", "no network data"},
      {"# GHz S RI\n1 0 0\n",
       "line 2: cannot tell the number of ports: the name does not end in .sNp (N = 2 to 32) and "
       "there is no [Number of Ports]",
       0},
      {v1 + row + row + row, "line 4: " + points + "16 on lines 3 to 4" + ask},
      {v1 + v1.substr(11) + v1.substr(11) + v1.substr(11),
       "line 5: expected 33 numbers for a frequency point of 4 ports (the frequency and 16 "
       "value pairs), found 36 on lines 2 to 5" +
           ask,
       4},
      {v1 + "1 0 0 1 0 1 0 0 0 2 0 0 1 0 1 0 0 0\n", "line 3: " + points + "18 on line 3" + ask},
      {v1 + "2 0 0 1 0 1 0 0 0\n2 0 0 1 0 1 0 0 0\n",
       "line 4: frequency 2e+09 Hz does not increase on the previous 2e+09 Hz"},
      {v1 + "2 0 0 1 0 1 0 0 0\n1.5 2 0.5 30\n",
       "line 4: the data ends inside the frequency point that starts on line 4: 4 of 9 numbers"},
      {v1 + "2 0 0 1 0 1 0 0 -inf\n", "line 3: expected a number, found '-inf'"},
      {"# GHz S DB\n1 0 0 140 0 0 0 0 0\n",
       "line 2: S21 at 1e+09 Hz has magnitude 1e+07; expected an S-parameter below 1e+06 (a "
       "passive network stays at or below 1)"},
      // Each part below the limit, the magnitude above it.
      {"# GHz S RI\n1 0 0 7.2e5 7.2e5 0 0 0 0\n",
       "line 2: S21 at 1e+09 Hz has magnitude 1.01823e+06; expected an S-parameter below 1e+06 (a "
       "passive network stays at or below 1)"},
  };
  for (const auto& c : cases) {
    NetworkData network;
    EXPECT_EQ(failure(parse(c.text, c.ports, network)), "ch.s2p: " + c.message) << c.text;
  }
  EXPECT_EQ(portsFromFileName("dir.s8p/Lane.S12P"), 12);
  EXPECT_EQ(portsFromFileName("lane.s4"), 0);
  EXPECT_EQ(portsFromFileName("lane.sxp"), 0);
}

// A reciprocal 4-port of ten distinct entries, so a triangle read the wrong way shows.
std::complex<double> symmetricEntry(int to, int from) {
  const int low = std::min(to, from);
  const int high = std::max(to, from);
  return {double(4 * low + high + 1), -double(low + 2 * high + 1)};
}

// Version 2 text of it at 1 and 2 GHz (times 1 and 2), one matrix row per line.
std::string matrixFormatFile(const std::string& format) {
  std::ostringstream text;
  text << "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 4\n[Matrix Format] " << format
       << "\n[Network Data]\n";
  for (int f = 1; f <= 2; ++f) {
    text << f;
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        const bool kept = format == "Full" || (format == "Lower" ? column <= row : column >= row);
        if (kept)
          text << ' ' << f * symmetricEntry(row, column).real() << ' '
               << f * symmetricEntry(row, column).imag();
      }
      text << '\n';
    }
  }
  return text.str();
}

TEST(TouchstoneReader, FullLowerAndUpperMatricesGiveOneNetwork) {
  for (const char* format : {"Full", "Lower", "Upper"}) {
    NetworkData network;
    ASSERT_TRUE(succeeded(parse(matrixFormatFile(format), 0, network))) << format;
    ASSERT_EQ(network.values.size(), 32u) << format;
    for (int f = 0; f < 2; ++f) {
      for (int to = 0; to < 4; ++to) {
        for (int from = 0; from < 4; ++from)
          EXPECT_EQ(network.S(f, to, from), double(f + 1) * symmetricEntry(to, from))
              << format << " S" << to + 1 << from + 1;
      }
    }
  }
}

// Isolator-like lane, P 1 to 3 and N 2 to 4, as S[to - 1][from - 1]: no path equals its way back.
constexpr double kIsolator[4][4] = {{1e-3, 2e-3, 0.30, 0.05},
                                    {3e-3, 4e-3, 0.02, 0.30},
                                    {0.90, 0.06, 5e-3, 6e-3},
                                    {0.01, 0.80, 7e-3, 8e-3}};

TEST(SParameterConversion, ANonReciprocalLaneGivesSdd21ForwardAndSdd12Backward) {
  // SDD21 = (S31 - S32 - S41 + S42) / 2 and SDD12 = (S13 - S14 - S23 + S24) / 2.
  const double sdd21 = 0.5 * (0.90 - 0.06 - 0.01 + 0.80);
  const double sdd12 = 0.5 * (0.30 - 0.05 - 0.02 + 0.30);
  NetworkData network;
  network.ports = 4;
  network.frequencies = {1e9};
  for (const auto& row : kIsolator)
    network.values.insert(network.values.end(), std::begin(row), std::end(row));
  EXPECT_NEAR(differentialTransfer(network, 1, 2, 3, 4)[0].real(), sdd21, 1e-15);
  EXPECT_NEAR(differentialTransfer(network, 3, 4, 1, 2)[0].real(), sdd12, 1e-15);
  // The same network as a file, with a delayed low-pass on every path.
  const auto isolator = [](double f, int to, int from) {
    return kIsolator[to - 1][from - 1] * lowPass(f) / kGain;
  };
  const std::string s4p =
      writeScratch("isolator.s4p", writeTouchstone(frequencyGrid(1e7, 2e7, 1000), 4, isolator, {}));
  const LinkTiming timing{2e9, 32};
  const std::pair<const char*, double> lanes[] = {{"1,2,3,4", sdd21}, {"3,4,1,2", sdd12}};
  for (const auto& [ports, dcGain] : lanes) {
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(
        succeeded(loadChannelInput({s4p, ports, {}, BandWindow::kHann}, timing, channels, info)));
    EXPECT_NEAR(area(channels.channel, timing.sampleInterval()), dcGain, 1e-4) << ports;
  }
}

TEST(ImpulseFile, ReadsTheColumnsPastTitlesCommentsAndCommentMarks) {
  using Samples = std::vector<double>;
  const struct {
    std::string text;
    Samples time, value;
  } cases[] = {
      {"Time (s), Impulse (1/s)\ntime value\n# exported by a field solver\n"
       "0 1.5\r\n1e-12, -2\n\n! comment\n2e-12\t3e9\n  3e-12 ,4  \n",
       {0, 1e-12, 2e-12, 3e-12},
       {1.5, -2, 3e9, 4}},
      {"\357\273\2770 1\n1e-12 2\n", {0, 1e-12}, {1, 2}},  // after a byte order mark
      {"0 1e9 # note\n1e-12 2e9 ! note\n", {0, 1e-12}, {1e9, 2e9}},
      {"0 1% a\n1e-12, 2; b\n2e-12\t3* c\n", {0, 1e-12, 2e-12}, {1, 2, 3}},
      {"0 1#tight\n# between\n  ! indented\n%\n1e-12 2\n", {0, 1e-12}, {1, 2}},
      {"t v # title\n0 5\n;\n*\n1e-12 6 #\n", {0, 1e-12}, {5, 6}},
      {"0 1\n1e-12 2#3\n", {0, 1e-12}, {1, 2}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    SampledWaveform waveform;
    ASSERT_TRUE(succeeded(parseTwoColumnText(in, "ch.txt", waveform))) << c.text;
    EXPECT_EQ(waveform.time, c.time) << c.text;
    EXPECT_EQ(waveform.value, c.value) << c.text;
  }
}

TEST(ImpulseFile, WrongFilesNameTheFileAndLine) {
  const std::string twoNumbers = ": expected two numbers (time in s, value in 1/s)";
  const std::string increase = ": time must increase from line to line";
  const std::string tooShort = "needs at least two data lines (time in s, value in 1/s)";
  const std::pair<std::string, std::string> cases[] = {
      {"t v\n0 1\n1e-12 2\noops here\n", "line 4" + twoNumbers + ", found 'oops'"},
      {"0 1\n1e-12 2 3\n", "line 2" + twoNumbers + ", found 3 fields"},
      {"0 1\n1e-12\n", "line 2" + twoNumbers + ", found 1 field"},
      {"0 1\n1e-12 # no value\n", "line 2" + twoNumbers + ", found 1 field"},
      {"0 1\n1e-12 2 3 # three\n", "line 2" + twoNumbers + ", found 3 fields"},
      {"0 1\n1e-12 x # text\n", "line 2" + twoNumbers + ", found 'x'"},
      {"0 1\n2e-12 nan\n", "line 2" + twoNumbers + ", found 'nan'"},
      {"t v\n0 nan\n", "line 2" + twoNumbers + ", found 'nan'"},
      {"0 nan\n1e-12 2\n", "line 1" + twoNumbers + ", found 'nan'"},
      {"0 1 2\n1 2 3\n", "line 1" + twoNumbers + ", found 3 fields"},
      {"0 1\n1e-12 1e31\n",
       "line 2: expected a value in 1/s of magnitude up to 1e+30, found '1e31'"},
      {"-1e-12 1\n1e-12 2\n",
       "line 1: the response starts at a negative time (-1e-12 s); an impulse response "
       "starts at 0 s or later"},
      {"0 1\n2e-12 2\n2e-12 3\n", "line 3" + increase},
      {"0 1\n2e-12 2\n1e-12 3\n", "line 3" + increase},
      {"header only\n0 1\n", tooShort},
      {"", tooShort},
      {"0 1\n" + std::string(kMaxLineLength + 1, '1') + "\n",
       "line 2: longer than 1048576 characters"},
  };
  for (const auto& [text, message] : cases) {
    std::istringstream in(text);
    SampledWaveform waveform;
    EXPECT_EQ(failure(parseTwoColumnText(in, "ch.txt", waveform)), "ch.txt: " + message)
        << text.substr(0, 80);
  }
  SampledWaveform waveform;
  EXPECT_EQ(failure(readTwoColumnFile("/nonexistent/channel.txt", waveform)),
            "/nonexistent/channel.txt: cannot open the file");
  EXPECT_EQ(failure(readTwoColumnFile(NORVASK_SOURCE_DIR, waveform)),
            std::string(NORVASK_SOURCE_DIR) + ": is a directory, not a file");
  NetworkData network;
  EXPECT_EQ(failure(readTouchstoneFile(NORVASK_SOURCE_DIR, network)),
            std::string(NORVASK_SOURCE_DIR) + ": is a directory, not a Touchstone file");
}

TEST(ImpulseFile, ResamplesLinearlyFromTheFirstTimeToTheLast) {
  SampledWaveform bend{{1e-12, 3e-12, 4e-12}, {0.0, 4.0, 0.0}};
  const std::vector<double> expected{0.0, 1.0, 2.0, 3.0, 4.0, 2.0, 0.0};
  const std::vector<double> samples = resampleLinear(bend, 0.5e-12);
  ASSERT_EQ(samples.size(), expected.size());
  for (std::size_t k = 0; k < samples.size(); ++k)
    EXPECT_NEAR(samples[k], expected[k], 1e-12) << k;
  // A span that is no whole number of intervals ends at the last instant inside it.
  EXPECT_EQ(resampleLinear(SampledWaveform{{0.0, 1e-11}, {1.0, 1.0}}, 3e-12).size(), 4u);
}

// Step response of the analytic network, from the closed-form impulse.
double exactStep(double t) {
  const double rc = 1.0 / (2.0 * kPi * kCorner);
  return t < kDelay ? 0.0 : kGain * (1.0 - std::exp(-(t - kDelay) / rc));
}

TEST(SParameterConversion, DelayedLowPassGivesItsDcGainDelayAndStepResponse) {
  // 10 MHz to 40 GHz; at 2 Gb/s x 32 the band ends at 32 GHz (15.625 ps).
  const std::vector<double> grid = frequencyGrid(1e7, 1e7, 4000);
  const double dt = 15.625e-12;
  for (const char* format : {"RI", "MA", "DB"}) {
    NetworkData network;
    const TouchstoneLayout layout{2, format, "MHz", 4};
    ASSERT_TRUE(succeeded(parse(writeTouchstone(grid, 2, twoPort, layout), 0, network)));
    ConvertedChannel channel;
    ASSERT_TRUE(succeeded(transferToImpulse(network.frequencies, singleEndedTransfer(network), dt,
                                            BandWindow::kRaisedCosine, "ch", channel)));
    double step = 0.0;
    double worst = 0.0;
    for (std::size_t n = 0; n < channel.impulse.size(); ++n) {
      step += channel.impulse[n] * dt;
      // The sum through sample n stands for the integral to (n + 1/2) dt.
      worst = std::max(worst, std::abs(step - exactStep((double(n) + 0.5) * dt)));
    }
    EXPECT_NEAR(step, kGain, 1e-6) << format;
    EXPECT_NEAR(channel.dcGain, kGain, 1e-6);
    EXPECT_LT(worst, 0.015 * kGain) << format;  // the band edge at 32 GHz rounds the kink
    EXPECT_NEAR(propagationDelay(channel.impulse, dt), kDelay + std::log(2.0) / (2 * kPi * kCorner),
                0.5e-12);
    EXPECT_LT(preRiseEnergy(channel.impulse), 1e-3);
    EXPECT_NEAR(insertionLoss_dB(network.frequencies, singleEndedTransfer(network), 1e9),
                -20.0 * std::log10(kGain / std::sqrt(1.25)), 1e-6);
  }
}

TEST(SParameterConversion, InvertedDataAboveDcKeepsItsSignAndEveryWindowItsArea) {
  // From 300 MHz the phase line of the two lowest points meets DC near -pi: the DC gain is -0.9
  // for every window, within what a + b f^2 misses of |H| there, 0.9 x 3/8 (f/fc)^4 = 1.7e-4.
  std::vector<double> grid = frequencyGrid(3e8, 1e7, 4000);
  std::vector<std::complex<double>> inverted;
  for (double f : grid)
    inverted.push_back(-lowPass(f));
  for (const BandWindow window :
       {BandWindow::kRaisedCosine, BandWindow::kHann, BandWindow::kNone}) {
    ConvertedChannel channel;
    ASSERT_TRUE(succeeded(transferToImpulse(grid, inverted, 15.625e-12, window, "ch", channel)));
    EXPECT_NEAR(channel.dcGain, -kGain, 3e-4);
    EXPECT_NEAR(area(channel.impulse, 15.625e-12), channel.dcGain, 1e-12);
  }
  ConvertedChannel channel;
  EXPECT_EQ(failure(transferToImpulse({1e9, 1e9 + 1.0}, {1.0, 1.0}, 1e-12, BandWindow::kNone, "ch",
                                      channel)),
            "ch: the mean frequency step of 1 Hz describes a 1 s response, 1000000000000 "
            "samples at 1 ps; the limit is 4194304 samples");
}

TEST(SParameterConversion, AFlatBandDelayedByWholeSamplesIsOneSample) {
  // |H| = 1 to the Nyquist frequency with phase -2 pi f tau: every bin lies on
  // a data point, so the impulse is 1/dt at sample tau/dt and 0 elsewhere.
  const double dt = 1e-12;
  const int samples = 16;
  for (const int delay : {0, 1, 3, 6}) {
    std::vector<double> grid;
    std::vector<std::complex<double>> delayed;
    for (int k = 0; k <= samples / 2; ++k) {
      grid.push_back(k / (samples * dt));
      delayed.push_back(std::polar(1.0, -2.0 * kPi * k * delay / samples));
    }
    ConvertedChannel channel;
    ASSERT_TRUE(succeeded(transferToImpulse(grid, delayed, dt, BandWindow::kNone, "ch", channel)));
    ASSERT_EQ(channel.impulse.size(), static_cast<std::size_t>(samples));
    for (int t = 0; t < samples; ++t)
      EXPECT_NEAR(channel.impulse[t] * dt, t == delay ? 1.0 : 0.0, 1e-12) << delay << " " << t;
  }
}

// Lines P (1 to 2) and N (3 to 4) with far-end coupling 0.1 between them, and
// a second lane (5 to 6, 7 to 8) that couples 0.05 into the first's output.
std::complex<double> twoLanes(double f, int to, int from) {
  const auto through = [](int a, int b) { return b == a + 1 && a % 2 == 1; };
  const int low = std::min(to, from);
  const int high = std::max(to, from);
  if (through(low, high))
    return 0.95 * lowPass(f) / kGain;
  if ((low == 1 && high == 4) || (low == 2 && high == 3) || (low == 5 && high == 8) ||
      (low == 6 && high == 7)) {
    return 0.1 * lowPass(f) / kGain;
  }
  if ((low == 2 && high == 5) || (low == 4 && high == 7))
    return 0.05 * lowPass(f) / kGain;
  return 1e-4;
}

TEST(SParameterConversion, LanesFoundOrGivenAndCrosstalkPairs) {
  const std::vector<double> grid = frequencyGrid(1e7, 2e7, 1000);
  const std::string s8p = writeScratch("lanes.s8p", writeTouchstone(grid, 8, twoLanes, {}));
  const LinkTiming timing{2e9, 32};
  const double dt = timing.sampleInterval();
  for (const std::string ports : {"", "1,3,2,4"}) {
    ChannelRequest request{s8p, ports, {"@5,7", "@all"}, BandWindow::kHann};
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(succeeded(loadChannelInput(request, timing, channels, info)));
    // SDD21 = T - C at DC: 0.95 - 0.1; the crosstalk from 5,7 is 0.05.
    EXPECT_NEAR(area(channels.channel, dt), 0.85, 1e-4);
    ASSERT_EQ(channels.aggressors.size(), 3u);  // 5,7 given; 5,7 and 6,8 from @all
    EXPECT_NEAR(area(channels.aggressors[0], dt), 0.05, 1e-4);
    EXPECT_NEAR(area(channels.aggressors[1], dt), 0.05, 1e-4);
    EXPECT_NEAR(area(channels.aggressors[2], dt), 0.0, 1e-3);
    EXPECT_NE(info.description.find("SDD21 of P-in 1, N-in 3, P-out 2, N-out 4"),
              std::string::npos);
  }
  const std::string s2p = writeScratch("lane.s2p", writeTouchstone(grid, 2, twoPort, {}));
  const std::string pairs =
      ": names pairs of the --channel file, which must then be a "
      "Touchstone file of 4 or more ports (a lane)";
  const std::pair<ChannelRequest, std::string> refused[] = {
      {{s8p, "1,3,2,9", {}}, "--ports: " + s8p + " has only 8 ports"},
      {{s8p, "1,3,2", {}}, "--ports: expected 4 comma-separated port numbers, found '1,3,2'"},
      {{s8p, "1,3,3,4", {}}, "--ports: port 3 is named twice"},
      {{s8p, "1,3,2,x", {}}, "--ports: expected port numbers from 1 to 32, found 'x'"},
      {{s2p, "1,3,2,4", {}}, "--ports: " + s2p + " has 2 ports; a port map needs 4 or more"},
      {{"", "1,3,2,4", {}}, "--ports needs a Touchstone --channel file"},
      {{"ch.txt", "1,3,2,4", {}},
       "--ports applies to a Touchstone --channel file (.sNp); ch.txt is read as an impulse file"},
      {{s8p, "", {"@2,5"}}, "--aggressor @2,5: port 2 belongs to the victim lane"},
      {{s8p, "", {"@9,5"}}, "--aggressor @9,5: " + s8p + " has only 8 ports"},
      {{s8p, "", {s8p}},
       "--aggressor " + s8p + ": a file of 8 ports needs its port map: " + s8p +
           "@P-in,N-in,P-out,N-out"},
      {{s8p, "", {s8p + "@1,2,3"}},
       "--aggressor " + s8p + "@1,2,3: expected 4 comma-separated port numbers, found '1,2,3'"},
      {{s8p, "", {s2p + "@1,2,3,4"}},
       "--aggressor " + s2p + "@1,2,3,4: " + s2p + " has only 2 ports"},
      {{s8p, "", {"next.txt@1,2,3,4"}},
       "--aggressor next.txt: a port map applies to Touchstone files (.sNp) only"},
      {{s2p, "", {"@1,2"}}, "--aggressor @1,2" + pairs},
      {{"", "", {"@all"}}, "--aggressor @all" + pairs},
  };
  for (const auto& [request, message] : refused) {
    ChannelSet channels;
    ChannelInfo info;
    EXPECT_EQ(failure(loadChannelInput(request, timing, channels, info)), message);
  }
}

// Two low-pass poles after the delay: h(t) = gain (t - delay) / RC^2
// e^(-(t - delay) / RC), continuous, so point samples of it are fair too.
std::complex<double> doublePole(double f, int to, int from) {
  return to == from ? 1e-3
                    : lowPass(f) * lowPass(f) / (kGain * std::polar(1.0, -2 * kPi * f * kDelay));
}

TEST(SParameterConversion, ImpulseFileAndTouchstoneOfOneChannelGiveOneEye) {
  // The closed-form impulse on a 1 ps grid, and the network's S-parameters.
  std::ostringstream impulseText;
  const double rc = 1.0 / (2.0 * kPi * kCorner);
  for (int n = 0; n <= 20000; ++n) {
    const double t = n * 1e-12;
    const double late = std::max(0.0, t - kDelay);
    impulseText << t << ' ' << kGain * late / (rc * rc) * std::exp(-late / rc) << '\n';
  }
  const std::string files[] = {
      writeScratch("impulse.txt", impulseText.str()),
      writeScratch("lane.s2p", writeTouchstone(frequencyGrid(1e7, 1e7, 4000), 2, doublePole, {}))};
  const LinkTiming timing{5e9, 32};
  EyeMetrics eyes[2];
  for (int i = 0; i < 2; ++i) {
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(succeeded(
        loadChannelInput({files[i], "", {}, BandWindow::kRaisedCosine}, timing, channels, info)));
    ASSERT_TRUE(succeeded(measureEye(channels.channel, timing.sampleInterval(), 32, eyes[i])));
  }
  // The worst-case eye (p0 less the other cursors) at 5 Gb/s is one eye from either source.
  EXPECT_NEAR(eyes[0].height(), eyes[1].height(), 1e-3);
  EXPECT_NEAR(eyes[0].openingRatio(), eyes[1].openingRatio(), 1e-3);
}

TEST(ChannelFigures, LossAtNyquistDoesNotDependOnWhereTheEnergySits) {
  // Two samples of 0.5 / dt: |H(f)| = cos(pi f dt), f dt = 1 / (2 x samples per bit) at Nyquist,
  // wherever the pair sits; delays 1023 and 2047 straddle the sum's renormalisation points.
  const std::pair<int, std::size_t> cases[] = {{2, 0},    {2, 7},    {2, 1023},  {2, 2047},
                                               {2, 5000}, {3, 1023}, {32, 1023}, {32, 0},
                                               {32, 3070}};  // per bit, delay
  for (const auto& [samplesPerBit, delay] : cases) {
    const LinkTiming timing{2e9, samplesPerBit};
    const double dt = timing.sampleInterval();
    std::vector<double> impulse(delay + 100, 0.0);
    impulse[delay] = impulse[delay + 1] = 0.5 / dt;
    ChannelInfo info;
    describeImpulse(impulse, timing, info);
    const double expected = -20.0 * std::log10(std::cos(kPi / (2.0 * samplesPerBit)));
    EXPECT_NEAR(info.lossAtNyquist_dB, expected, 1e-9) << samplesPerBit << ' ' << delay;
    EXPECT_NEAR(info.dcGain, 1.0, 1e-12);
  }
}

TEST(LossyChannel, LossAtNyquistIsTheSettingAndTheAreaTheDcGain) {
  // The 64 UI tail cut and the DC rescale move the loss at Nyquist far less than 0.05 dB; half
  // way to Nyquist the loss lies between the laws in f and in sqrt f.
  const std::pair<LinkTiming, double> cases[] = {{{2e9, 32}, 0.0},   {{2e9, 32}, 5.0},
                                                 {{5e9, 32}, 10.0},  {{2.8e10, 16}, 20.0},
                                                 {{1e10, 20}, 30.0}, {{1.25e9, 32}, 3.0}};
  for (const auto& [timing, loss] : cases) {
    const double dt = timing.sampleInterval();
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(succeeded(
        loadChannelInput({"", "", {}, BandWindow::kNone, loss, 64.0}, timing, channels, info)));
    EXPECT_NEAR(info.lossAtNyquist_dB, loss, 0.05) << loss << " dB at " << timing.BitRate;
    EXPECT_NEAR(area(channels.channel, dt), 1.0, 1e-12);
    const double half = impulseLoss_dB(channels.channel, dt, timing.BitRate / 4.0);
    EXPECT_GE(half, 0.45 * loss - 1e-9) << loss;
    EXPECT_LE(half, loss / std::sqrt(2.0) + 1e-9) << loss;
  }
}

TEST(ShippedExample, IsWhatTheGeneratorWrites) {
  EXPECT_EQ(testing::slurp(std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p"),
            tools::exampleLaneTouchstone());
}

}  // namespace
}  // namespace norvask::host
