// Whole runs at the host's edges: an inverting link, and options at their bounds and far
// beyond, each in a forked child under address-space and time limits, so a run that would
// exhaust memory or time fails its row instead of the test program.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "data/StepResponseTable.h"
#include "host/app/NorvaskModel.h"
#include "support/InProcessHost.h"
#include "support/ModelLibrary.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::runOnBuiltModel;
using testing::scratch;
using testing::slurp;
using Outcome = testing::HostOutcome;

constexpr rlim_t kAddressSpace = rlim_t{1} << 30;  // 1 GiB
constexpr unsigned kSeconds = 10;
// The budget is processor time; the wall clock only catches a hang, with room
// for a machine busy with other work.
constexpr unsigned kWallSeconds = 3 * kSeconds;
#ifdef NORVASK_SANITIZED
// Sanitizers reserve terabytes of shadow memory and run slower: limits only in plain builds.
constexpr bool kLimitResources = false;
#else
constexpr bool kLimitResources = true;
#endif

// The run in a child under the limits, with its exit code (128 + the signal when
// a limit killed it) and the first line of its standard error.
Outcome limitedRun(const std::vector<std::string>& arguments) {
  const std::string errFile = scratch("stderr.txt");
  const pid_t child = fork();
  if (child == 0) {
    const rlimit memory{kAddressSpace, kAddressSpace};
    const rlimit cpu{kSeconds, kSeconds};
    if (kLimitResources) {
      setrlimit(RLIMIT_AS, &memory);
      setrlimit(RLIMIT_CPU, &cpu);
      alarm(kWallSeconds);
    }
    const Outcome outcome = runOnBuiltModel(arguments);
    std::ofstream(errFile) << outcome.err;
    _exit(outcome.exitCode);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const std::string err = slurp(errFile);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), "",
          err.substr(0, err.find('\n'))};
}

// The value of `quantity` in a "quantity,value..." CSV table, column `column`.
double csvValue(const std::string& text, const std::string& quantity, int column) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(quantity + ",", 0) != 0)
      continue;
    std::istringstream cells(line);
    std::string cell;
    for (int c = 0; c <= column; ++c)
      std::getline(cells, cell, ',');
    return std::stod(cell);
  }
  ADD_FAILURE() << quantity;
  return 0.0;
}

TEST(HostRun, AnInvertingLinkHasTheEyeOfTheSameLinkUninverted) {
  const auto runAtGain = [](const std::string& gain) {
    return runOnBuiltModel(
        {"--txi", "4", "--gain", gain, "--csv", "--stat-eye", "--out", scratch("gain" + gain)});
  };
  const Outcome upright = runAtGain("1"), inverted = runAtGain("-1");
  ASSERT_EQ(upright.exitCode, 0) << upright.err;
  ASSERT_EQ(inverted.exitCode, 0) << inverted.err;
  EXPECT_DOUBLE_EQ(csvValue(inverted.out, "main_cursor_V", 2),
                   -csvValue(upright.out, "main_cursor_V", 2));
  EXPECT_GT(csvValue(upright.out, "main_cursor_V", 2), 0.4);
  const std::pair<const char*, int> figures[] = {{"eye_height_V", 2},
                                                 {"eye_opening_ratio", 2},
                                                 {"eye_height_at_ber_V", 1},
                                                 {"eye_width_at_ber_UI", 1}};
  for (const auto& [figure, column] : figures) {
    EXPECT_DOUBLE_EQ(csvValue(inverted.out, figure, column), csvValue(upright.out, figure, column))
        << figure;
  }
  // Each threshold v of one BER map is -v of the other, and both are symmetric.
  EXPECT_EQ(slurp(scratch("gain-1_eye.csv")), slurp(scratch("gain1_eye.csv")));
  const std::string note = "Note: the link inverts (its main cursor is negative)";
  EXPECT_NE(inverted.err.find(note), std::string::npos) << inverted.err;
  EXPECT_EQ(upright.err.find(note), std::string::npos);
  // The sweep once stopped on the voltage grid of the wrong polarity; with
  // the run of its best point it says the note once.
  const Outcome sweep =
      runOnBuiltModel({"--gain", "-1", "--sweep-txi", "--csv", "--out", scratch("sweep")});
  EXPECT_EQ(sweep.exitCode, 0) << sweep.err;
  const std::size_t first = sweep.err.find(note);
  EXPECT_NE(first, std::string::npos) << sweep.err;
  EXPECT_EQ(sweep.err.find(note, first + 1), std::string::npos) << sweep.err;
}

TEST(HostRun, EveryOptionAtItsBoundsAndBeyondFinishesInBudgetOrIsRefusedByName) {
  const std::string cost = ": the statistical eye would take ";
  const std::string lane =
      std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p@1,3,2,4";
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::string error;  // the start of standard error's first line after "ami_host: error: "
  } cases[] = {
      {{"--rj", "1e6"}, 2, "--rj: expected a number from 0 to 1 (UI rms), got '1e6'"},
      {{"--rj", "1.01"}, 2, "--rj: expected a number from 0 to 1"},
      {{"--dj", "1e9"}, 2, "--dj: expected a number from 0 to 2 (UI peak to peak), got '1e9'"},
      {{"--dj", "2.01"}, 2, "--dj: expected a number from 0 to 2"},
      {{"--rj", "1", "--dj", "2"}, 0, ""},
      {{"--samples-per-bit", "65536", "--stat-eye", "--channel-ui", "8"},
       1,
       "--samples-per-bit 65536 with --channel-ui 8" + cost},
      {{"--samples-per-bit", "65537"},
       2,
       "--samples-per-bit: expected an integer from 4 to 65536, got '65537'"},
      {{"--samples-per-bit", "4"}, 0, ""},
      {{"--samples-per-bit", "2048"}, 0, ""},
      {{"--samples-per-bit", "4096"}, 1, "--samples-per-bit 4096 with --channel-ui 64" + cost},
      {{"--rj", "1", "--sweep-txi"}, 1, "--sweep-txi" + cost},
      {{"--rj", "1", "--ber", "1e-300", "--samples-per-bit", "64"}, 1, "--rj 1" + cost},
      {{"--ber", "4.9e-324", "--rj", "1"}, 0, ""},
      {{"--aggressor", lane, "--aggressor", lane, "--samples-per-bit", "1024"},
       1,
       "--samples-per-bit 1024: statistical eye: 1024 sampling phases x "},
      {{"--aggressor", lane, "--samples-per-bit", "2048", "--xtalk-phase", "average"},
       1,
       "--xtalk-phase average with 1 aggressor(s)" + cost},
      {{"--channel-ui", "1"}, 0, ""},
      {{"--channel-ui", "1e9"},
       1,
       "the built-in channel of 1e+09 unit intervals at 32 samples per bit would take "
       "32000000000 samples; the limit is 1048576"},
      {{"--bit-rate", "1e-300"}, 1, "--bit-rate and --samples-per-bit: "},
      {{"--noise", "1e9"}, 0, ""},
      {{"--noise", "0"}, 0, ""},
      {{"--loss", "0"}, 0, ""},
      {{"--ber", "0.49"}, 0, ""},
      {{"--tail", "0"}, 0, ""},
      {{"--gain", "-10"}, 0, ""},
      {{"--gain", "0"},
       1,
       "the link's response (channel and model) is zero everywhere; there is no eye"},
      {{"--txi", "15", "--gain", "10"}, 0, ""},
  };
  for (const auto& c : cases) {
    std::string command;
    for (const std::string& argument : c.arguments)
      command += argument + " ";
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = limitedRun(c.arguments);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.exitCode, c.exitCode) << command << outcome.err;
    const std::string expected = c.error.empty() ? "" : "ami_host: error: " + c.error;
    EXPECT_EQ(outcome.err.substr(0, expected.size()), expected) << command;
    if (kLimitResources) {
      EXPECT_LT(took.count(), kSeconds) << command;
    }
  }
}

TEST(NorvaskModel, TheGridLimitsAreTheModelsOwnInTheHostsWords) {
  // The step responses' time axis ends at its last row.
  EXPECT_DOUBLE_EQ(kStepResponseSpan,
                   StepResponseTable[kStepResponseColumns * (kStepResponseRows - 1)]);
  // Without the host's check, the model takes the longest interval and refuses the
  // next one: 4 samples per bit of a unit-area channel.
  testing::ModelLibrary library;
  ASSERT_EQ(library.loadError, "");
  for (const auto& [dt, accepted] : {std::pair{kMaxSampleInterval * (1 - 1e-9), 1L},
                                     std::pair{kMaxSampleInterval * (1 + 1e-5), 0L}}) {
    std::vector<double> matrix(64, 0.0);
    matrix[0] = 1.0 / dt;
    EXPECT_EQ(testing::callAmi(library, matrix, 64, 0, dt, 4 * dt, "(Norvask (txi 1))").initResult,
              accepted)
        << dt;
  }
  // 4 x 1.1195 ns: 223.3 Mb/s is the slowest rate at 4 samples per bit; at 1e8 b/s,
  // 10 ns / 1.1195 ns = 8.93 asks for 9.
  EXPECT_EQ(leastSamplesPerBit(1e8), 9);
  EXPECT_EQ(leastSamplesPerBit(2e9), kMinSamplesPerBit);
  const struct {
    const char* bitRate;
    const char* samplesPerBit;
    std::string error;
  } cases[] = {
      {"2.2334e8", "4", ""},
      {"2.2331e8", "4",
       "ami_host: error: --bit-rate and --samples-per-bit: the sample interval 1.12 ns "
       "(223.31 Mb/s, 4 samples per bit) is longer than the 1.119 ns the Norvask model takes "
       "(half of its 2.239 ns step responses): at this bit rate use at least 5 samples per bit, "
       "or at these samples per bit a bit rate of at least 223.314 Mb/s\n"},
      {"1e8", "9", ""},
  };
  for (const auto& c : cases) {
    const Outcome outcome =
        runOnBuiltModel({"--bit-rate", c.bitRate, "--samples-per-bit", c.samplesPerBit,
                         "--channel-ui", "8", "--out", scratch("grid")});
    EXPECT_EQ(outcome.exitCode, c.error.empty() ? 0 : 1) << c.bitRate << outcome.err;
    EXPECT_EQ(outcome.err, c.error) << c.bitRate;
  }
}

}  // namespace
}  // namespace norvask::host
