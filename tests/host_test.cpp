// The ami_host tool: its reader for user channel files, the built-in lossy
// channel, the txi sweep against the equalizer's own search, the shipped .ami
// file driven through AMI_Init as a simulator would, and the built program's
// error paths (one line on standard error and a non-zero exit code).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ami/Norvask.h"
#include "blocks/FIRwStepRespList.h"
#include "host/AmiLibrary.h"
#include "host/ChannelFile.h"
#include "host/EyeMetrics.h"
#include "host/LossyChannel.h"
#include "host/ModelRun.h"
#include "host/SeriesCsv.h"
#include "host/TxiSweep.h"

namespace norvask::host {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(HostChannelFile, ReadsColumnsAfterTitlesAndComments) {
  std::istringstream in(
      "Time (s), Impulse (1/s)\ntime value\n# exported by a field solver\n"
      "0 1.5\r\n1e-12, -2\n\n! comment\n2e-12\t3e9\n  3e-12 ,4  \n");
  SampledWaveform waveform;
  std::string error;
  ASSERT_TRUE(parseTwoColumnText(in, "ch.txt", waveform, error)) << error;
  EXPECT_EQ(waveform.time, (std::vector<double>{0.0, 1e-12, 2e-12, 3e-12}));
  EXPECT_EQ(waveform.value, (std::vector<double>{1.5, -2.0, 3e9, 4.0}));
}

TEST(HostChannelFile, WrongFilesNameTheFileAndLine) {
  const std::string twoNumbers = ": expected two numbers (time in s, value in 1/s)";
  const std::string increase = ": time must increase from line to line";
  const std::string tooShort = "ch.txt: needs at least two data lines (time in s, value in 1/s)";
  const std::pair<const char*, std::string> cases[] = {
      {"t v\n0 1\n1e-12 2\noops here\n", "ch.txt: line 4" + twoNumbers},
      {"0 1\n1e-12 2 3\n", "ch.txt: line 2" + twoNumbers},
      {"0 1\n1e-12\n", "ch.txt: line 2" + twoNumbers},
      {"0 1\n2e-12 nan\n", "ch.txt: line 2" + twoNumbers},
      {"0 1\n2e-12 2\n2e-12 3\n", "ch.txt: line 3" + increase},
      {"0 1\n2e-12 2\n1e-12 3\n", "ch.txt: line 3" + increase},
      {"header only\n0 1\n", tooShort},
      {"", tooShort},
  };
  for (const auto& [text, message] : cases) {
    std::istringstream in(text);
    SampledWaveform waveform;
    std::string error;
    EXPECT_FALSE(parseTwoColumnText(in, "ch.txt", waveform, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
  SampledWaveform waveform;
  std::string error;
  EXPECT_FALSE(readTwoColumnFile("/nonexistent/channel.txt", waveform, error));
  EXPECT_EQ(error, "/nonexistent/channel.txt: cannot open the file");
}

TEST(HostChannelFile, ResamplesLinearlyFromTheFirstTimeToTheLast) {
  SampledWaveform bend{{1e-12, 3e-12, 4e-12}, {0.0, 4.0, 0.0}};
  const std::vector<double> expected{0.0, 1.0, 2.0, 3.0, 4.0, 2.0, 0.0};
  const std::vector<double> samples = resampleLinear(bend, 0.5e-12);
  ASSERT_EQ(samples.size(), expected.size());
  for (std::size_t k = 0; k < samples.size(); ++k)
    EXPECT_NEAR(samples[k], expected[k], 1e-12) << k;
  // A span that is no whole number of intervals ends at the last instant inside it.
  EXPECT_EQ(resampleLinear(SampledWaveform{{0.0, 1e-11}, {1.0, 1.0}}, 3e-12).size(), 4u);
}

TEST(HostOutputs, CsvAndPulseResponse) {
  std::ostringstream out;
  writeSeriesCsv(out, 0.5e-12, {{"a", {1.0, 2.5, -3.0}}, {"b", {0.125}}});
  EXPECT_EQ(out.str(), "time_s,a,b\n0,1,0.125\n5e-13,2.5,\n1e-12,-3,\n");
  // Impulse 1/s samples 2, 0, 1 at 0.5 s give the step 1, 1, 1.5; the pulse
  // is the step minus itself two samples later.
  EXPECT_EQ(pulseResponse({2.0, 0.0, 1.0}, 0.5, 2), (std::vector<double>{1.0, 1.0, 0.5, 0.5, 0.0}));
}

LossyChannel channelAt(double bitRate, int samplesPerBit, double loss_dB) {
  LossyChannel channel;
  channel.LossAtNyquist_dB = loss_dB;
  channel.NyquistFrequency = bitRate / 2.0;
  channel.SampleInterval = 1.0 / (bitRate * samplesPerBit);
  channel.Samples = 64 * samplesPerBit;
  return channel;
}

// Insertion loss in dB of the sampled impulse at `frequency`, by a direct
// discrete-time Fourier sum.
double measuredLoss_dB(const std::vector<double>& impulse, double dt, double frequency) {
  const double pi = std::acos(-1.0);
  std::complex<double> sum = 0.0;
  for (std::size_t n = 0; n < impulse.size(); ++n)
    sum += impulse[n] * dt * std::polar(1.0, -2.0 * pi * frequency * dt * double(n));
  return -20.0 * std::log10(std::abs(sum));
}

TEST(HostLossyChannel, LossAtNyquistMatchesTheSettingAndAreaTheDcGain) {
  // The only deviations from the exact curve are the truncation of the tail
  // to 64 unit intervals and the rescaling to the DC gain, far below 0.05 dB.
  for (double loss : {3.0, 10.0, 20.0, 30.0}) {
    for (const auto& [bitRate, samplesPerBit] :
         {std::pair{5e9, 32}, std::pair{2.8e10, 16}, std::pair{1e10, 20}}) {
      const LossyChannel channel = channelAt(bitRate, samplesPerBit, loss);
      const std::vector<double> impulse = channel.ImpulseResponse();
      const double dt = channel.SampleInterval;
      EXPECT_NEAR(measuredLoss_dB(impulse, dt, bitRate / 2.0), loss, 0.05) << bitRate;
      // Half way to Nyquist the loss lies between laws in f and in sqrt f.
      const double half = measuredLoss_dB(impulse, dt, bitRate / 4.0);
      EXPECT_GT(half, 0.45 * loss);
      EXPECT_LT(half, loss / std::sqrt(2.0));
    }
  }
  LossyChannel channel = channelAt(5e9, 32, 15.0);
  channel.DcGain = 0.5;
  double area = 0.0;
  for (double sample : channel.ImpulseResponse())
    area += sample * channel.SampleInterval;
  EXPECT_NEAR(area, 0.5, 1e-12);
}

// The step-response index and eye opening the equalizer's own search settles on.
std::pair<std::int32_t, double> equalizerSearch(const std::vector<double>& channelImpulse,
                                                const LinkTiming& timing) {
  StepRespList list;
  buildStepResponseList(list);
  FIRwStepRespList equalizer;
  equalizer.ChannelImpulse = &channelImpulse;
  equalizer.BitRate = timing.BitRate;
  equalizer.SamplesPerBit = timing.SamplesPerBit;
  equalizer.AdaptStepRespIndex = 1;
  equalizer.NumStepResp = kTxiSettings;
  equalizer.StepResp_data_values = &list;
  equalizer.SharedTimeAxis = 1;
  std::ostringstream messages;
  EXPECT_TRUE(equalizer.Setup(nullptr, messages) && equalizer.Initialize(messages))
      << messages.str();
  equalizer.Finalize();
  return {equalizer.StepRespIndex, equalizer.bestEyeRatio()};
}

TEST(HostTxiSweep, BestTxiAgreesWithTheEqualizersSearch) {
  AmiLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(NORVASK_LIBRARY_PATH, error)) << error;
  std::set<std::int32_t> chosen;
  for (const auto& [bitRate, samplesPerBit, loss] :
       {std::tuple{5e9, 32, 10.0}, std::tuple{2e9, 16, 3.0}, std::tuple{8e9, 16, 20.0},
        std::tuple{1.25e9, 32, 30.0}}) {
    const LinkTiming timing{bitRate, samplesPerBit};
    ChannelSet channels;
    channels.channel = channelAt(bitRate, samplesPerBit, loss).ImpulseResponse();
    TxiSweep sweep;
    ASSERT_TRUE(sweepTxi(library, channels, timing, kDefaultTailTime, 1.0, sweep, error)) << error;
    ASSERT_EQ(sweep.rows.size(), 16u);
    const auto [index, eyeRatio] = equalizerSearch(channels.channel, timing);
    EXPECT_EQ(sweep.bestTxi + 1, index) << loss << " dB at " << bitRate;
    EXPECT_NEAR(sweep.rows[static_cast<std::size_t>(sweep.bestTxi)].eye.openingRatio(), eyeRatio,
                1e-9 * std::abs(eyeRatio));
    chosen.insert(sweep.bestTxi);
  }
  EXPECT_GT(chosen.size(), 1u);  // the channels differ enough for different winners
  EXPECT_EQ(norvaskParameters(15, 0.8), "(Norvask (OutputGain 0.8)(txi 15))");
}

// The text of the parenthesised entry "(name ...)", isolated as a simulator's
// parser would (parentheses inside quoted descriptions do not count).
std::string entry(const std::string& text, const std::string& name) {
  const auto start = text.find("(" + name + " ");
  int depth = 0;
  bool quoted = false;
  for (auto i = start; start != std::string::npos && i < text.size(); ++i) {
    if (text[i] == '"')
      quoted = !quoted;
    if (!quoted && text[i] == '(')
      ++depth;
    if (!quoted && text[i] == ')' && --depth == 0)
      return text.substr(start, i - start + 1);
  }
  return "";
}

// The value of "(name value)" inside an entry.
std::string field(const std::string& entryText, const std::string& name) {
  const std::string inner = entry(entryText, name);
  return inner.empty() ? "" : inner.substr(name.size() + 2, inner.size() - name.size() - 3);
}

TEST(HostModelFiles, AmiDefaultsThroughAmiInitGiveNoDefaultSettingMessages) {
  const std::string ami = slurp(std::string(NORVASK_SOURCE_DIR) + "/models/Norvask.ami");
  EXPECT_EQ(field(entry(ami, "Init_Returns_Impulse"), "Value"), "True");
  EXPECT_EQ(field(entry(ami, "GetWave_Exists"), "Value"), "False");
  const std::string gain = entry(ami, "OutputGain");
  const std::string txi = entry(ami, "txi");
  EXPECT_EQ(field(gain, "Usage") + field(gain, "Type"), "InFloat");
  EXPECT_EQ(field(txi, "Usage") + field(txi, "Type") + field(txi, "Range"), "InInteger1 0 15");
  // The string a simulator passes when the user changes nothing.
  const std::string defaults =
      "(Norvask (OutputGain " + field(gain, "Default") + ")(txi " + field(txi, "Default") + "))";
  ASSERT_EQ(defaults, "(Norvask (OutputGain 1)(txi 1))");

  AmiLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(NORVASK_LIBRARY_PATH, error)) << error;
  const LinkTiming timing{1e10, 16};
  ChannelSet unitChannel;
  unitChannel.channel = {1.0 / timing.sampleInterval()};
  unitChannel.aggressors = {{0.25 / timing.sampleInterval()}};
  const ModelRun run = runThroughModel(library, unitChannel, timing, kDefaultTailTime, defaults);
  EXPECT_EQ(run.call.initResult, 1);
  EXPECT_EQ(run.call.closeResult, 1);
  EXPECT_EQ(run.call.message, "");
  // What a missing parameter looks like, so the check above can fail.
  const ModelRun partial =
      runThroughModel(library, unitChannel, timing, kDefaultTailTime, "(Norvask (txi 1))");
  EXPECT_EQ(partial.call.message,
            "The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from "
            "the AMI_Init arguments.The model will use the default setting = 1.\n");
  // txi 1 is step response 2, final value 0.4292749577: a unit-area channel
  // comes back with that area, the aggressor with a quarter of it.
  double channelArea = 0.0;
  double aggressorArea = 0.0;
  for (std::size_t r = 0; r < static_cast<std::size_t>(run.rows); ++r) {
    channelArea += run.columns[0][r] * timing.sampleInterval();
    aggressorArea += run.columns[1][r] * timing.sampleInterval();
  }
  EXPECT_NEAR(channelArea, 0.4292749577, 1e-6);
  EXPECT_NEAR(aggressorArea, 0.25 * 0.4292749577, 1e-6);
}

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Files of the running test; CTest runs tests in parallel, so each test
// keeps its own.
std::string scratch(const std::string& name) {
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  return std::string(NORVASK_BINARY_DIR) + "/host_test_" + test + "_" + name;
}

Outcome runHost(const std::string& arguments) {
  const std::string command = std::string(NORVASK_HOST_PATH) + " " + arguments + " >" +
                              scratch("stdout.txt") + " 2>" + scratch("stderr.txt");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          slurp(scratch("stdout.txt")), slurp(scratch("stderr.txt"))};
}

TEST(HostProgram, BadInputGivesOneLineAndANonZeroExit) {
  const std::string malformed = scratch("malformed.txt");
  std::ofstream(malformed) << "time value\n0 1e10\n1e-11 5e9\n2e-11 x\n";
  const std::string singleLine = scratch("single.txt");
  std::ofstream(singleLine) << "0, 1e10\n";
  const std::string error = "ami_host: error: ";
  const std::string perSecond = " (time in s, value in 1/s)\n";
  const struct {
    std::string arguments;
    int exitCode;
    std::string error;
  } cases[] = {
      {"--channel /nonexistent/channel.txt", 1, "/nonexistent/channel.txt: cannot open the file\n"},
      {"--channel " + malformed, 1, malformed + ": line 4: expected two numbers" + perSecond},
      {"--aggressor " + singleLine, 1, singleLine + ": needs at least two data lines" + perSecond},
      {"--library libm.so.6", 1,
       "libm.so.6 is not an IBIS-AMI model: it does not export AMI_Init\n"},
      {"--bit-rate 0", 2, "--bit-rate: expected a positive number (bits per second), got '0'\n"},
      {"--bit-rate 5Gbps", 2,
       "--bit-rate: expected a positive number (bits per second), got '5Gbps'\n"},
      {"--samples-per-bit 0", 2,
       "--samples-per-bit: expected an integer from 1 to 65536, got '0'\n"},
      {"--loss -3", 2, "--loss: expected a number >= 0 (dB), got '-3'\n"},
      {"--txi", 2, "--txi needs a value\n"},
      {"--speed 3", 2, "unknown option '--speed' (see --help)\n"},
      {"--sweep-txi --params '(Norvask (txi 2))'", 2,
       "--params replaces --txi and --gain and cannot be combined with them or with --sweep-txi\n"},
      {"--txi 16 --out " + scratch("txi16"), 1,
       "AMI_Init failed: Error occurred in Norvask::Setup().\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = runHost(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.err, error + c.error) << c.arguments;
  }
  const Outcome missing = runHost("--library /nonexistent/libmodel.so");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(
      missing.err.rfind(error + "cannot load the IBIS-AMI library /nonexistent/libmodel.so: ", 0),
      0u);
  EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1);
}

TEST(HostProgram, SweepOnTheBuiltInChannelWritesTablesAndFiles) {
  const Outcome help = runHost("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("bits per second (default 2e9)"), std::string::npos) << help.out;

  const std::string prefix = scratch("run");
  const Outcome run = runHost("--sweep-txi --csv --rank-ber --stat-eye --out " + prefix);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Standard output holds only the CSV tables: the sweep, then the summary.
  std::istringstream tables(run.out);
  std::string line;
  std::getline(tables, line);
  EXPECT_EQ(line,
            "txi,eye_height_V,eye_opening_ratio,eye_height_at_ber_V,eye_width_at_ber_UI,best");
  int rows = 0;
  double bestHeight = 0.0, tallest = 0.0;  // eye heights at 1e-12
  for (; std::getline(tables, line) && !line.empty(); ++rows) {
    double txi, height, ratio, heightAtBer;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &txi, &height, &ratio, &heightAtBer), 4);
    tallest = std::max(tallest, heightAtBer);
    bestHeight += line.back() == '1' ? heightAtBer : 0.0;
  }
  EXPECT_EQ(rows, 16);
  EXPECT_EQ(bestHeight, tallest);
  std::getline(tables, line);
  EXPECT_EQ(line, "quantity,channel,channel_plus_model");
  EXPECT_NE(run.err.find("Model message: (none)"), std::string::npos) << run.err;
  EXPECT_EQ(
      slurp(prefix + "_impulse.csv").rfind("time_s,channel_per_s,channel_plus_model_per_s\n", 0),
      0u);
  EXPECT_EQ(slurp(prefix + "_pulse.csv").rfind("time_s,channel_V,channel_plus_model_V\n", 0), 0u);
  EXPECT_EQ(slurp(prefix + "_pulse.svg").rfind("<?xml", 0), 0u);
  EXPECT_EQ(slurp(prefix + "_bathtub.csv").rfind("time_s,time_UI,ber\n", 0), 0u);
  EXPECT_EQ(slurp(prefix + "_eye.csv").rfind("threshold_V,", 0), 0u);
  EXPECT_EQ(slurp(prefix + "_eye.svg").rfind("<?xml", 0), 0u);
}

}  // namespace
}  // namespace norvask::host
