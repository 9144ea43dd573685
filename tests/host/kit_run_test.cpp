// Whole runs through model kits, in-process: the build's Norvask kit opened through its
// .ibs (its sweeps, parameters and refusals), and the test receiver after it.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/model/ModelLibrary.h"
#include "support/InProcessHost.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::runInProcess;
using testing::scratch;
using testing::slurp;
using Outcome = testing::HostOutcome;

const std::string kKit = std::string(NORVASK_BINARY_DIR) + "/norvask.ibs";
const std::string kReceiver = std::string(NORVASK_TEST_RX_DIR) + "/ctle.ibs";
const std::string kLane = std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p";

// The build's kit at txi 13 on the lossy lane at 5 Gb/s, then `more`.
Outcome runLink(const std::vector<std::string>& more) {
  std::vector<std::string> arguments{"--ibs",     kKit,  "--set",      "txi=13",
                                     "--channel", kLane, "--bit-rate", "5e9"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return runInProcess(arguments);
}

// The text from the first line starting with `from` to the next blank line.
std::string block(const std::string& text, const std::string& from) {
  const auto start = text.find("\n" + from);
  if (start == std::string::npos)
    return "<no " + from + ">";
  return text.substr(start + 1, text.find("\n\n", start) - start);
}

std::string lineStarting(const std::string& text, const std::string& start) {
  const auto at = text.find("\n" + start);
  return at == std::string::npos ? "<none>" : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

TEST(KitRun, TheTxiSweepThroughTheIbsIsTheTableOfSweepTxi) {
  const std::string out = scratch("run");
  const Outcome kit = runInProcess({"--ibs", kKit, "--sweep", "txi", "--out", out});
  const Outcome library = testing::runOnBuiltModel({"--sweep-txi", "--out", out});
  ASSERT_EQ(kit.exitCode, 0) << kit.err;
  ASSERT_EQ(library.exitCode, 0) << library.err;
  EXPECT_EQ(kit.out.substr(0, kit.out.find('\n') + 1),
            "Transmitter: model norvask_tx of component Norvask_Tx (Linux_gcc_64), parameters "
            "from " NORVASK_BINARY_DIR "/Norvask.ami, library " NORVASK_BINARY_DIR
            "/libnorvask.so\n");
  EXPECT_EQ(kit.out.substr(kit.out.find('\n') + 1), library.out);
  EXPECT_EQ(block(kit.out, "txi  eye height").substr(0, 4), "txi ");
}

TEST(KitRun, SweepsTheProductOfTwoParametersFirstAxisSlowest) {
  const Outcome product = runInProcess({"--ibs", kKit, "--sweep", "txi=3,4", "--sweep",
                                        "OutputGain=0.5:1:0.5", "--out", scratch("run")});
  const Outcome txi = runInProcess({"--ibs", kKit, "--sweep", "txi", "--out", scratch("run")});
  ASSERT_EQ(product.exitCode, 0) << product.err;
  const std::string table = block(product.out, "txi, OutputGain");
  std::string labels;  // the rows' first 17 characters
  std::istringstream rows(table.substr(table.find('\n') + 1));
  for (std::string row; std::getline(rows, row);)
    labels += row.substr(0, 17) + "|";
  EXPECT_EQ(labels, "         3, 0.5  |           3, 1  |         4, 0.5  |           4, 1  |");
  // At gain 1 a point is the txi sweep's row.
  EXPECT_EQ(lineStarting(table, "           3, 1  ").substr(17, 24),
            lineStarting(txi.out, "  3  ").substr(5, 24));
  EXPECT_EQ(lineStarting(product.out, "Parameters:"),
            "Parameters: (Norvask (OutputGain 1)(txi 4))");
}

TEST(KitRun, ListsTheSettableParameters) {
  const Outcome listed = runInProcess({"--ibs", kKit, "--list-params"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.out,
            "Model norvask_tx of component Norvask_Tx (" NORVASK_BINARY_DIR
            "/Norvask.ami), settable parameters:\n"
            "  OutputGain (Float, Usage In): -10 to 10; default 1\n"
            "      Factor on every output sample; 1 = as measured. -10 to 10 covers inversion and "
            "any real launch level.\n"
            "  txi (Integer, Usage In): 0 to 15; default 1\n"
            "      Driver setting: which of 16 measured step responses; final value 0.330 (0) to "
            "1.043 (10).\n");
}

// Each refusal is the kit's own wording (allowed values, settable names) after the
// option; the wording of every kind of refusal is in the kit tests.
TEST(KitRun, RefusesSettingsAndSweepsWithTheAllowedValues) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
    int exitCode = 1;
  } cases[] = {
      {{"--set", "txi=16"}, "--set txi=16: txi 16 is outside the range; allowed: 0 to 15"},
      {{"--set", "txi=three"}, "--set txi=three: txi three is not an Integer; allowed: 0 to 15"},
      {{"--set", "gain=1"},
       "--set gain=1: Norvask has no parameter gain; settable: OutputGain, txi"},
      {{"--set", "txi"}, "--set txi: expected NAME=VALUE, got 'txi'"},
      {{"--txi", "3"},
       "--txi and --gain set the built-in model; with --ibs use --set NAME=VALUE",
       2},
      {{"--component", "Other"},
       "--ibs: " + kKit + ": has no component Other; components: Norvask_Tx"},
      {{"--model", "other"},
       "--ibs: " + kKit +
           ": component Norvask_Tx has no pin on model other with an [Algorithmic Model]; those "
           "it has: norvask_tx"},
      {{"--sweep", "OutputGain=0:20:1"},
       "--sweep OutputGain=0:20:1: OutputGain 11 is outside the range; allowed: -10 to 10"},
      {{"--sweep", "OutputGain=1:0:1"},
       "--sweep OutputGain=1:0:1: expected START:STOP:STEP with START <= STOP and STEP > 0, got "
       "'1:0:1'"},
      {{"--sweep", "txi=1,x"}, "--sweep txi=1,x: txi x is not an Integer; allowed: 0 to 15"},
      {{"--sweep", "txi", "--sweep", "OutputGain=-10:10:0.01"},
       "--sweep: 32016 points; the limit is 4096"},
      {{"--rx-ibs", kReceiver, "--rx-model", "test_ctle_no_impulse"},
       "--rx-ibs: model test_ctle_no_impulse (" NORVASK_TEST_RX_DIR
       "/CtleNoImpulse.ami) does not declare Init_Returns_Impulse True: its AMI_Init does not "
       "return the impulse response it equalised, so the eye cannot be taken at its output"},
      {{"--rx-ibs", kReceiver, "--rx-set", "peaking_db=0.3"},
       "--rx-set peaking_db=0.3: peaking_db 0.3 is not on the increment; allowed: 0 to 20 in "
       "steps of 0.5"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments{"--ibs", kKit};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Outcome refused = runInProcess(arguments);
    EXPECT_EQ(refused.exitCode, c.exitCode) << c.error;
    EXPECT_EQ(refused.err, "ami_host: error: " + c.error + "\n");
  }
  const std::pair<std::vector<std::string>, std::string> withoutKit[] = {
      {{"--set", "txi=1"}, "--set needs a model kit: give its .ibs file with --ibs"},
      {{"--sweep", "OutputGain=1"},
       "--sweep OutputGain=1: Norvask has no parameter OutputGain; settable: txi"},
      {{"--ibs", std::string(NORVASK_SOURCE_DIR) + "/models/norvask.ibs"},
       "--ibs: cannot load the IBIS-AMI library " NORVASK_SOURCE_DIR
       "/models/libnorvask.so: " NORVASK_SOURCE_DIR
       "/models/libnorvask.so: cannot open shared object file: No such file or directory"},
  };
  for (const auto& [arguments, error] : withoutKit)
    EXPECT_EQ(runInProcess(arguments).err, "ami_host: error: " + error + "\n");
}

// One column of an impulse CSV file.
std::vector<double> csvColumn(const std::string& path, std::size_t column) {
  std::istringstream text(slurp(path));
  std::string line;
  std::getline(text, line);
  std::vector<double> values;
  while (std::getline(text, line)) {
    std::istringstream fields(line);
    std::string field;
    for (std::size_t c = 0; c <= column; ++c)
      std::getline(fields, field, ',');
    values.push_back(std::stod(field));
  }
  return values;
}

// The receiver's answer to a unit-area impulse, in taps (1/s times the sample interval).
std::vector<double> receiverTaps(const std::string& parameters, double dt, long rows) {
  AmiLibrary receiver;
  EXPECT_TRUE(receiver.Load(std::string(NORVASK_TEST_RX_DIR) + "/libtestctle.so").ok());
  std::vector<double> matrix(static_cast<std::size_t>(rows), 0.0);
  matrix[0] = 1.0 / dt;
  EXPECT_EQ(receiver.InitAndClose(matrix, rows, 0, dt, 2e-10, parameters).initResult, 1);
  for (double& value : matrix)
    value *= dt;
  return matrix;
}

TEST(KitRun, TheReceiversOutputIsTheTransmittersConvolvedWithItsImpulseResponse) {
  const std::string aggressor = kLane + "@1,3,2,4";
  const Outcome received = runLink({"--aggressor", aggressor, "--rx-ibs", kReceiver, "--rx-set",
                                    "peaking_db=6", "--out", scratch("rx")});
  ASSERT_EQ(runLink({"--aggressor", aggressor, "--out", scratch("tx")}).exitCode, 0);
  ASSERT_EQ(received.exitCode, 0) << received.err;
  EXPECT_NE(received.out.find("Receiver: model test_ctle of component Test_Rx (Linux_gcc_64)"),
            std::string::npos);
  EXPECT_NE(received.out.find(
                "Parameters: (Norvask (OutputGain 1)(txi 13))\nAMI_Init returned 1, AMI_Close "
                "returned 1\nModel message: (none)\n\nReceiver parameters: (TestCtle (dc_gain "
                "1)(peaking_db 6)(zero_hz 1e+09))\nReceiver AMI_Init returned 1, AMI_Close "
                "returned 1\nReceiver message:\nCTLE: DC gain 1.000000, peaking 6.000000 dB above "
                "a zero at 1000000000.000000 Hz\n"),
            std::string::npos)
      << received.out;

  // The channel column, then the aggressor's: both went through the receiver.
  const double dt = 1.0 / (5e9 * 32);
  for (const std::size_t column : {2, 3}) {
    const std::vector<double> transmitted = csvColumn(scratch("tx_impulse.csv"), column);
    const std::vector<double> output = csvColumn(scratch("rx_impulse.csv"), column);
    const std::vector<double> taps =
        receiverTaps("(TestCtle (dc_gain 1)(peaking_db 6)(zero_hz 1e+09))", dt,
                     static_cast<long>(output.size()));
    double largest = 0.0, worst = 0.0;
    for (std::size_t n = 0; n < transmitted.size(); ++n) {
      double expected = 0.0;
      for (std::size_t k = 0; k <= n; ++k)
        expected += transmitted[k] * taps[n - k];
      largest = std::max(largest, std::fabs(expected));
      worst = std::max(worst, std::fabs(expected - output[n]));
    }
    EXPECT_GT(largest, 1e8) << column;
    EXPECT_LT(worst, 1e-8 * largest) << column;
  }
}

TEST(KitRun, AUnityReceiverKeepsTheEyeAndAPeakingOneOpensALossyLane) {
  const std::string out = scratch("run");
  const std::string alone = runLink({"--out", out}).out;
  const std::string unity = runLink({"--out", out, "--rx-ibs", kReceiver}).out;
  const std::string peaking = runLink({"--out", out, "--rx-ibs", kReceiver, "--rx-set",
                                       "peaking_db=20", "--rx-set", "zero_hz=2e8"})
                                  .out;
  for (const char* figure : {"Worst-case eye height", "Eye opening ratio", "Eye height at BER",
                             "Eye width at BER", "Main cursor"})
    EXPECT_EQ(lineStarting(unity, figure), lineStarting(alone, figure)) << figure;
  const std::string closed = lineStarting(alone, "Worst-case eye height");
  const std::string opened = lineStarting(peaking, "Worst-case eye height");
  EXPECT_NE(closed.find("(eye closed) for"), std::string::npos) << closed;
  EXPECT_EQ(opened.find("(eye closed) for"), std::string::npos) << opened;
  EXPECT_EQ(lineStarting(alone, "Eye height at BER 1e-12: eye closed").substr(0, 36),
            "Eye height at BER 1e-12: eye closed ");
  EXPECT_EQ(lineStarting(peaking, "Eye height at BER 1e-12: ").find("eye closed ("),
            std::string::npos);
}

}  // namespace
}  // namespace norvask::host
