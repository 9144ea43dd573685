// The built ami_host program as a user runs it: a normal run writes its files,
// and every kind of bad input ends with one line on standard error and a
// non-zero exit code, never a crash.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string scratch(const std::string& name) {
  return std::string(NORVASK_BINARY_DIR) + "/host_program_test_" + name;
}

Outcome runHost(const std::string& arguments) {
  const std::string outPath = scratch("stdout.txt");
  const std::string errPath = scratch("stderr.txt");
  const std::string command =
      std::string(NORVASK_HOST_PATH) + " " + arguments + " >" + outPath + " 2>" + errPath;
  const int status = std::system(command.c_str());
  Outcome outcome;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.out = slurp(outPath);
  outcome.err = slurp(errPath);
  return outcome;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
}

TEST(HostProgram, BadInputGivesOneLineAndANonZeroExit) {
  const std::string malformed = scratch("malformed.txt");
  writeText(malformed, "time value\n0 1e10\n1e-11 5e9\n2e-11 x\n");
  const std::string singleLine = scratch("single.txt");
  writeText(singleLine, "0, 1e10\n");
  const struct {
    std::string arguments;
    int exitCode;
    std::string error;
  } cases[] = {
      {"--channel /nonexistent/channel.txt", 1,
       "ami_host: error: /nonexistent/channel.txt: cannot open the file\n"},
      {"--channel " + malformed, 1,
       "ami_host: error: " + malformed +
           ": line 4: expected two numbers (time in s, value in 1/s)\n"},
      {"--aggressor " + singleLine, 1,
       "ami_host: error: " + singleLine +
           ": needs at least two data lines (time in s, value in 1/s)\n"},
      {"--library libm.so.6", 1,
       "ami_host: error: libm.so.6 is not an IBIS-AMI model: it does not export AMI_Init\n"},
      {"--bit-rate 0", 2,
       "ami_host: error: --bit-rate: expected a positive number (bits per second), got '0'\n"},
      {"--bit-rate -5e9", 2,
       "ami_host: error: --bit-rate: expected a positive number (bits per second), got '-5e9'\n"},
      {"--bit-rate 5Gbps", 2,
       "ami_host: error: --bit-rate: expected a positive number (bits per second), got "
       "'5Gbps'\n"},
      {"--samples-per-bit 0", 2,
       "ami_host: error: --samples-per-bit: expected an integer from 1 to 65536, got '0'\n"},
      {"--loss -3", 2, "ami_host: error: --loss: expected a number >= 0 (dB), got '-3'\n"},
      {"--txi", 2, "ami_host: error: --txi needs a value\n"},
      {"--speed 3", 2, "ami_host: error: unknown option '--speed' (see --help)\n"},
      {"--sweep-txi --params '(Norvask (txi 2))'", 2,
       "ami_host: error: --params replaces --txi and --gain and cannot be combined with them or "
       "with --sweep-txi\n"},
      {"--txi 16 --out " + scratch("txi16"), 1,
       "ami_host: error: AMI_Init failed: Error occurred in Norvask::Setup().\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = runHost(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.err, c.error) << c.arguments;
  }

  const Outcome missingLibrary = runHost("--library /nonexistent/libmodel.so");
  EXPECT_EQ(missingLibrary.exitCode, 1);
  EXPECT_EQ(missingLibrary.err.rfind(
                "ami_host: error: cannot load the IBIS-AMI library /nonexistent/libmodel.so: ", 0),
            0u);
  EXPECT_EQ(missingLibrary.err.find('\n'), missingLibrary.err.size() - 1);
}

TEST(HostProgram, HelpNamesEveryOptionWithItsDefault) {
  const Outcome help = runHost("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.err, "");
  for (const char* text :
       {"--library PATH", "--txi N", "(default 1)", "--gain X", "--params TEXT", "--sweep-txi",
        "--bit-rate BPS", "bits per second (default 2e9)", "--samples-per-bit N", "(default 32)",
        "--channel FILE", "time in s", "h(t) in 1/s", "--aggressor FILE", "--loss DB",
        "(default 5)", "--csv", "--out PREFIX", "--tail SECONDS"}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  }
}

TEST(HostProgram, SweepOnTheBuiltInChannelWritesTablesAndFiles) {
  const std::string prefix = scratch("run");
  const Outcome run = runHost("--sweep-txi --csv --out " + prefix);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Standard output holds only the CSV tables: the sweep, then the summary.
  std::istringstream tables(run.out);
  std::string line;
  std::getline(tables, line);
  EXPECT_EQ(line, "txi,eye_height_V,eye_opening_ratio,best");
  int rows = 0;
  int best = 0;
  while (std::getline(tables, line) && !line.empty()) {
    ++rows;
    best += line.back() == '1' ? 1 : 0;
  }
  EXPECT_EQ(rows, 16);
  EXPECT_EQ(best, 1);
  std::getline(tables, line);
  EXPECT_EQ(line, "quantity,channel,channel_plus_model");
  EXPECT_NE(run.err.find("Model message: (none)"), std::string::npos) << run.err;

  const std::string impulses = slurp(prefix + "_impulse.csv");
  EXPECT_EQ(impulses.rfind("time_s,channel_per_s,channel_plus_model_per_s\n", 0), 0u);
  EXPECT_EQ(slurp(prefix + "_pulse.csv").rfind("time_s,channel_V,channel_plus_model_V\n", 0), 0u);
  const std::string svg = slurp(prefix + "_pulse.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

}  // namespace
