// Whole runs at the host's edges, in-process: an inverting link, and every
// option at its boundary and far beyond it, each run in a forked child under
// an address-space and a time limit, so that a run that would exhaust
// memory or time fails its row instead of the test program.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "data/StepResponseTable.h"
#include "host/app/HostRun.h"
#include "host/app/NorvaskModel.h"
#include "host/app/OptionTable.h"
#include "support/InProcessHost.h"
#include "support/ModelLibrary.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::scratch;
using testing::slurp;

constexpr rlim_t kAddressSpace = rlim_t{1} << 30;  // 1 GiB
constexpr unsigned kSeconds = 10;
#ifdef NORVASK_SANITIZED
// A sanitizer reserves terabytes of shadow address space and runs several
// times slower, so its build checks what each case answers and leaves the
// limits to the plain build.
constexpr bool kLimitResources = false;
#else
constexpr bool kLimitResources = true;
#endif

using Outcome = testing::HostOutcome;

Outcome run(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--library", NORVASK_LIBRARY_PATH});
  return testing::runInProcess(std::move(arguments));
}

// The run in a child limited to 1 GiB of address space and 10 s of CPU and
// wall time; its exit code and its standard error's first line come back.
// A child killed by a limit returns 128 + the signal.
Outcome limitedRun(const std::vector<std::string>& arguments) {
  const std::string errFile = scratch("stderr.txt");
  const pid_t child = fork();
  if (child == 0) {
    const rlimit memory{kAddressSpace, kAddressSpace};
    const rlimit cpu{kSeconds, kSeconds};
    if (kLimitResources) {
      setrlimit(RLIMIT_AS, &memory);
      setrlimit(RLIMIT_CPU, &cpu);
      alarm(kSeconds);
    }
    const Outcome outcome = run(arguments);
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
  Outcome runs[2];
  const char* gains[] = {"1", "-1"};
  for (int g = 0; g < 2; ++g) {
    runs[g] = run({"--txi", "4", "--gain", gains[g], "--csv", "--stat-eye", "--out",
                   scratch(std::string("gain") + gains[g])});
    ASSERT_EQ(runs[g].exitCode, 0) << runs[g].err;
  }
  const Outcome& upright = runs[0];
  const Outcome& inverted = runs[1];
  EXPECT_DOUBLE_EQ(csvValue(inverted.out, "main_cursor_V", 2),
                   -csvValue(upright.out, "main_cursor_V", 2));
  EXPECT_GT(csvValue(upright.out, "main_cursor_V", 2), 0.4);
  for (const char* figure : {"eye_height_V", "eye_opening_ratio"})
    EXPECT_DOUBLE_EQ(csvValue(inverted.out, figure, 2), csvValue(upright.out, figure, 2)) << figure;
  for (const char* figure : {"eye_height_at_ber_V", "eye_width_at_ber_UI"})
    EXPECT_DOUBLE_EQ(csvValue(inverted.out, figure, 1), csvValue(upright.out, figure, 1)) << figure;
  // The BER map of the inverted data is the uninverted one: each threshold
  // v of one at -v of the other, and both symmetric.
  EXPECT_EQ(slurp(scratch("gain-1_eye.csv")), slurp(scratch("gain1_eye.csv")));
  const std::string note = "Note: the link inverts (its main cursor is negative)";
  EXPECT_EQ(inverted.err.find(note) != std::string::npos, true) << inverted.err;
  EXPECT_EQ(upright.err.find(note), std::string::npos);
  // The sweep, which stopped on the voltage grid of the wrong polarity.
  const Outcome sweep = run({"--gain", "-1", "--sweep-txi", "--csv", "--out", scratch("sweep")});
  EXPECT_EQ(sweep.exitCode, 0) << sweep.err;
}

TEST(HostRun, EveryOptionAtItsBoundsAndBeyondFinishesInBudgetOrIsRefusedByName) {
  const std::string cost = ": the statistical eye would take ";
  const std::string lane = std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p";
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::string error;  // the start of standard error's first line
  } cases[] = {
      // Known offenders.
      {{"--rj", "1e6"},
       2,
       "ami_host: error: --rj: expected a number from 0 to 1 (UI rms), got '1e6'"},
      {{"--rj", "100"},
       2,
       "ami_host: error: --rj: expected a number from 0 to 1 (UI rms), got '100'"},
      {{"--dj", "1e9"},
       2,
       "ami_host: error: --dj: expected a number from 0 to 2 (UI peak to peak), got '1e9'"},
      {{"--samples-per-bit", "65536", "--stat-eye", "--channel-ui", "8"},
       1,
       "ami_host: error: --samples-per-bit 65536 with --channel-ui 8" + cost},
      {{"--samples-per-bit", "65536", "--stat-eye"},
       1,
       "ami_host: error: the built-in channel of 64 unit intervals at 65536 samples per bit would "
       "take 4194304 samples; the limit is 1048576"},
      {{"--rj", "1", "--sweep-txi"}, 1, "ami_host: error: --sweep-txi" + cost},
      {{"--rj", "1", "--ber", "1e-300", "--samples-per-bit", "64"},
       1,
       "ami_host: error: --rj 1" + cost},
      {{"--rj", "1", "--ber", "1e-300"}, 0, ""},
      {{"--samples-per-bit", "2048"}, 0, ""},
      {{"--noise", "1e9"}, 0, ""},
      {{"--aggressor", lane + "@1,3,2,4", "--aggressor", lane + "@1,3,2,4", "--samples-per-bit",
        "1024"},
       1,
       "ami_host: error: --samples-per-bit 1024: statistical eye: 1024 sampling phases x "},
      {{"--aggressor", lane + "@1,3,2,4", "--samples-per-bit", "2048", "--xtalk-phase", "average"},
       1,
       "ami_host: error: --xtalk-phase average with 1 aggressor(s)" + cost},
      {{"--channel-ui", "1e9"},
       1,
       "ami_host: error: the built-in channel of 1e+09 unit intervals at 32 samples per bit would "
       "take 32000000000 samples; the limit is 1048576"},
      {{"--bit-rate", "1e15"}, 1, "ami_host: error: the sample interval 3.125e-17 s"},
      {{"--bit-rate", "1e-300"}, 1, "ami_host: error: --bit-rate and --samples-per-bit: "},
      {{"--tail", "1"}, 1, "ami_host: error: --tail 1 s is 64000000000 samples"},
      // Boundaries.
      {{"--rj", "1"}, 0, ""},
      {{"--rj", "1.01"}, 2, "ami_host: error: --rj: expected a number from 0 to 1"},
      {{"--dj", "2"}, 0, ""},
      {{"--dj", "2.01"}, 2, "ami_host: error: --dj: expected a number from 0 to 2"},
      {{"--rj", "1", "--dj", "2"}, 0, ""},
      {{"--samples-per-bit", "4"}, 0, ""},
      {{"--samples-per-bit", "3"},
       2,
       "ami_host: error: --samples-per-bit: expected an integer from 4 to 65536, got '3'"},
      {{"--samples-per-bit", "65537"},
       2,
       "ami_host: error: --samples-per-bit: expected an integer from 4 to 65536, got '65537'"},
      {{"--samples-per-bit", "1024"}, 0, ""},
      {{"--samples-per-bit", "4096"},
       1,
       "ami_host: error: --samples-per-bit 4096 with --channel-ui 64" + cost},
      {{"--loss", "0"}, 0, ""},
      {{"--loss", "-1"}, 2, "ami_host: error: --loss: expected a number >= 0 (dB), got '-1'"},
      {{"--ber", "0.49"}, 0, ""},
      {{"--ber", "0.5"}, 2, "ami_host: error: --ber: expected a bit-error ratio below 0.5"},
      {{"--ber", "1e-300"}, 0, ""},
      {{"--noise", "0"}, 0, ""},
      {{"--tail", "0"}, 0, ""},
      {{"--channel-ui", "1"}, 0, ""},
      {{"--gain", "-10"}, 0, ""},
      {{"--gain", "0"},
       1,
       "ami_host: error: the link's response (channel and model) is zero everywhere; there is no "
       "eye"},
      {{"--ber", "4.9e-324", "--rj", "1"}, 0, ""},
      {{"--txi", "15", "--gain", "10"}, 0, ""},
      {{"--txi", "16"},
       1,
       "ami_host: error: AMI_Init refused the parameters (Norvask (OutputGain 1)(txi 16)): txi 16 "
       "is outside 0 to 15"},
  };
  for (const auto& c : cases) {
    std::string command;
    for (const std::string& argument : c.arguments)
      command += argument + " ";
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = limitedRun(c.arguments);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.exitCode, c.exitCode) << command << outcome.err;
    EXPECT_EQ(outcome.err.substr(0, c.error.size()), c.error) << command;
    if (kLimitResources) {
      EXPECT_LT(took.count(), kSeconds) << command;
    }
  }
}

TEST(HostOptions, HelpEndsWithTheExitCodes) {
  const std::string help = hostUsage();
  const std::string codes =
      "\nExit status: 0 when the run completed, 1 when it failed (the message on standard\n"
      "error says why), 2 for a command line it cannot read.\n";
  EXPECT_EQ(help.substr(help.size() - std::min(help.size(), codes.size())), codes);
}

TEST(NorvaskModel, TheGridLimitsAreTheModelsOwnInTheHostsWords) {
  // The step responses' time axis ends at its last row.
  EXPECT_DOUBLE_EQ(kStepResponseSpan,
                   StepResponseTable[kStepResponseColumns * (kStepResponseRows - 1)]);
  // The model itself, without the host's check, takes the longest interval
  // and refuses the next one: 4 samples per bit of a unit-area channel.
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
  // 4 x 1.1195 ns = 4.478 ns: 223.3 Mb/s is the slowest bit rate at 4
  // samples per bit; at 1e8 b/s, 10 ns / 1.1195 ns = 8.93 asks for 9.
  EXPECT_EQ(leastSamplesPerBit(1e8), 9);
  EXPECT_EQ(leastSamplesPerBit(2e9), kMinSamplesPerBit);
  const struct {
    const char* bitRate;
    const char* samplesPerBit;
    int exitCode;
    std::string error;
  } cases[] = {
      {"2.2334e8", "4", 0, ""},
      {"2.2331e8", "4", 1,
       "ami_host: error: --bit-rate and --samples-per-bit: the sample interval 1.12 ns "
       "(223.31 Mb/s, 4 samples per bit) is longer than the 1.119 ns the Norvask model takes "
       "(half of its 2.239 ns step responses): at this bit rate use at least 5 samples per bit, "
       "or at these samples per bit a bit rate of at least 223.314 Mb/s\n"},
      {"1e8", "9", 0, ""},
  };
  for (const auto& c : cases) {
    const Outcome outcome = run({"--bit-rate", c.bitRate, "--samples-per-bit", c.samplesPerBit,
                                 "--channel-ui", "8", "--out", scratch("grid")});
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.bitRate << outcome.err;
    EXPECT_EQ(outcome.err, c.error) << c.bitRate;
  }
}

}  // namespace
}  // namespace norvask::host
