// The ami_host tool: its reader for user channel files, its output writers,
// and the built program: a sweep on the built-in channel, and its error paths
// (one line on standard error and a non-zero exit code).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/channel/ChannelFile.h"
#include "host/analysis/EyeMetrics.h"
#include "host/output/SeriesCsv.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::HostOutcome;
using testing::runHost;
using testing::scratch;
using testing::slurp;

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
      {"t v\n0 1\n1e-12 2\noops here\n", "ch.txt: line 4" + twoNumbers + ", found 'oops'"},
      {"0 1\n1e-12 2 3\n", "ch.txt: line 2" + twoNumbers + ", found 3 fields"},
      {"0 1\n1e-12\n", "ch.txt: line 2" + twoNumbers + ", found 1 field"},
      {"0 1\n2e-12 nan\n", "ch.txt: line 2" + twoNumbers + ", found 'nan'"},
      {"t v\n0 nan\n", "ch.txt: line 2" + twoNumbers + ", found 'nan'"},
      {"0 1 2\n1 2 3\n", "ch.txt: line 1" + twoNumbers + ", found 3 fields"},
      {"-1e-12 1\n1e-12 2\n",
       "ch.txt: line 1: the response starts at a negative time (-1e-12 s); an impulse response "
       "starts at 0 s or later"},
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
  EXPECT_FALSE(readTwoColumnFile(NORVASK_SOURCE_DIR, waveform, error));
  EXPECT_EQ(error, std::string(NORVASK_SOURCE_DIR) + ": is a directory, not a file");
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

TEST(HostProgram, BadInputGivesOneLineAndANonZeroExit) {
  const std::string malformed = scratch("malformed.txt");
  std::ofstream(malformed) << "time value\n0 1e10\n1e-11 5e9\n2e-11 x\n";
  const std::string singleLine = scratch("single.txt");
  std::ofstream(singleLine) << "0, 1e10\n";
  const std::string longSpan = scratch("long.txt");
  std::ofstream(longSpan) << "0 1e9\n1e-3 1e9\n";
  const std::string zeros = scratch("zeros.txt");
  std::ofstream(zeros) << "0 0\n1e-12 0\n";
  const std::string out = " --out " + scratch("run");
  const std::string gainDefault =
      "  The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from the "
      "AMI_Init arguments.The model will use the default setting = 1.\n";
  const std::string error = "ami_host: error: ";
  const std::string perSecond = " (time in s, value in 1/s)\n";
  const struct {
    std::string arguments;
    int exitCode;
    std::string error;
  } cases[] = {
      {"--channel /nonexistent/channel.txt", 1, "/nonexistent/channel.txt: cannot open the file\n"},
      {"--channel " + malformed, 1,
       malformed + ": line 4: expected two numbers (time in s, value in 1/s), found 'x'\n"},
      {"--aggressor " + singleLine, 1, singleLine + ": needs at least two data lines" + perSecond},
      {"--library libm.so.6", 1,
       "libm.so.6 is not an IBIS-AMI model: it does not export AMI_Init\n"},
      {"--bit-rate 0", 2, "--bit-rate: expected a positive number (bits per second), got '0'\n"},
      {"--bit-rate 5Gbps", 2,
       "--bit-rate: expected a positive number (bits per second), got '5Gbps'\n"},
      {"--samples-per-bit 3", 2,
       "--samples-per-bit: expected an integer from 4 to 65536, got '3'\n"},
      {"--loss -3", 2, "--loss: expected a number >= 0 (dB), got '-3'\n"},
      {"--txi", 2, "--txi needs a value\n"},
      {"--speed 3", 2, "unknown option '--speed' (see --help)\n"},
      {"--sweep-txi --params '(Norvask (txi 2))'", 2,
       "--params replaces --txi and --gain and cannot be combined with them or with --sweep-txi\n"},
      {"--txi 16" + out, 1,
       "AMI_Init refused the parameters (Norvask (OutputGain 1)(txi 16)): txi 16 is outside 0 "
       "to 15; the model's message:\n  Error occurred in Norvask::Setup().\n  StepRespIndex must "
       "be an integer in the range [1, 16].\n"},
      // Every line of the model's message, in order, and the setting in the user's terms.
      {"--params '(Norvask (txi 99))'" + out, 1,
       "AMI_Init refused the parameters (Norvask (txi 99)): txi 99 is outside 0 to 15; the "
       "model's message:\n" +
           gainDefault +
           "  Error occurred in Norvask::Setup().\n  StepRespIndex must be an integer in the "
           "range [1, 16].\n"},
      // Hostile inputs: a precise error before any big allocation.
      {"--channel " + longSpan, 1,
       longSpan + ": the response spans 1 ms, 64000001 samples at 15.63 ps; the limit is "
                  "4194304 samples\n"},
      {"--bit-rate 1e30", 1,
       "the sample interval 3.125e-32 s (1e+30 b/s, 32 samples per bit) is too fine: the "
       "model's 2.5 ns response alone needs 8e+22 samples; the limit is 4194304\n"},
      {"--channel " + zeros, 1,
       zeros + ": the channel's response is zero everywhere; there is no eye\n"},
      {"--params '(Norvask (OutputGain nan))'" + out, 1,
       "the model returned a non-finite sample (NaN or infinity) at 0 s with the parameters "
       "(Norvask (OutputGain nan)): eye closed / undefined\n"},
      {"--channel " + std::string(NORVASK_BINARY_DIR), 1,
       std::string(NORVASK_BINARY_DIR) + ": is a directory, not a file\n"},
  };
  for (const auto& c : cases) {
    const HostOutcome outcome = runHost(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.err, error + c.error) << c.arguments;
  }
  const HostOutcome missing = runHost("--library /nonexistent/libmodel.so");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(
      missing.err.rfind(error + "cannot load the IBIS-AMI library /nonexistent/libmodel.so: ", 0),
      0u);
  EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1);
}

TEST(HostProgram, SweepOnTheBuiltInChannelWritesTablesAndFiles) {
  const HostOutcome help = runHost("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("bits per second (default 2e9)"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("samples per unit interval, 4 to 65536"), std::string::npos);

  const std::string prefix = scratch("run");
  const HostOutcome run = runHost("--sweep-txi --csv --rank-ber --stat-eye --out " + prefix);
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
