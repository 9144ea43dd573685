// The program room: whole ami_host runs in-process (refusals, options against --help, sweeps
// with every output), and the built program run as a user runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ami/Norvask.h"
#include "blocks/FIRwStepRespList.h"
#include "host/app/NorvaskModel.h"
#include "host/app/OptionTable.h"
#include "host/app/ParameterSweep.h"
#include "host/channel/ChannelInput.h"
#include "host/kit/SweepAxes.h"
#include "support/HostStatus.h"
#include "support/InProcessHost.h"
#include "support/ModelLibrary.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::runOnBuiltModel;
using testing::scratch;
using testing::slurp;
using testing::writeScratch;
using Outcome = testing::HostOutcome;
using Refusals = std::vector<std::pair<std::vector<std::string>, std::string>>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Each run ends with `exitCode` and its message, one line after the prefix.
void expectRefusals(int exitCode, const Refusals& refusals) {
  for (const auto& [arguments, error] : refusals) {
    const Outcome outcome = runOnBuiltModel(arguments);
    EXPECT_EQ(outcome.exitCode, exitCode) << arguments[0];
    EXPECT_EQ(outcome.err, "ami_host: error: " + error + "\n") << arguments[0];
    // Figures are printed only when the run got as far as writing its files.
    const bool writing = error.rfind("cannot write", 0) == 0 || error.rfind("--out:", 0) == 0;
    EXPECT_EQ(contains(outcome.out, "Driver taps"), writing) << arguments[0];
  }
}

TEST(HostRun, ACommandLineItCannotReadEndsWithTwo) {
  const std::string paramsAlone =
      "--params replaces --txi and --gain and cannot be combined with them or with --sweep-txi";
  const Refusals refusals{
      {{"--bit-rate", "0"}, "--bit-rate: expected a positive number (bits per second), got '0'"},
      {{"--bit-rate", "5Gbps"},
       "--bit-rate: expected a positive number (bits per second), got '5Gbps'"},
      {{"--txi", "2147483648"},
       "--txi: expected an integer from -2147483648 to 2147483647, got '2147483648'"},
      {{"--loss", "-3"}, "--loss: expected a number >= 0 (dB), got '-3'"},
      {{"--gain", "x"}, "--gain: expected a number, got 'x'"},
      {{"--ber", "0.5"}, "--ber: expected a bit-error ratio below 0.5"},
      {{"--window", "kaiser"}, "--window: expected raised-cosine, hann or none, got 'kaiser'"},
      {{"--rank", "width"}, "--rank: expected ber, height or ratio, got 'width'"},
      {{"--xtalk-phase", "best"}, "--xtalk-phase: expected worst or average, got 'best'"},
      {{"--txi"}, "--txi needs a value"},
      {{"--speed", "3"}, "unknown option '--speed' (see --help)"},
      {{"--sweep-txi", "--params", "(Norvask (txi 2))"}, paramsAlone},
      {{"--gain", "2", "--params", "(Norvask (txi 2))"}, paramsAlone},
  };
  expectRefusals(2, refusals);
}

TEST(HostRun, AFailedRunEndsWithOneAndNamesWhatFailed) {
  const std::string malformed =
      writeScratch("malformed.txt", "time value\n0 1e10\n1e-11 5e9\n2e-11 x\n");
  const std::string singleLine = writeScratch("single.txt", "0, 1e10\n");
  const std::string longSpan = writeScratch("long.txt", "0 1e9\n1e-3 1e9\n");
  const std::string zeros = writeScratch("zeros.txt", "0 0\n1e-12 0\n");
  const std::string regular = writeScratch("regular", "x\n");
  const std::string out = scratch("run");
  const std::string gainDefault =
      "  The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from the "
      "AMI_Init arguments.The model will use the default setting = 1.\n";
  const std::string stepIndex =
      "  Error occurred in Norvask::Setup().\n  StepRespIndex must be an integer in the range "
      "[1, 16].";
  const Refusals refusals{
      {{"--channel", malformed},
       malformed + ": line 4: expected two numbers (time in s, value in 1/s), found 'x'"},
      {{"--aggressor", singleLine},
       singleLine + ": needs at least two data lines (time in s, value in 1/s)"},
      {{"--library", "libm.so.6"},
       "cannot load the IBIS-AMI library libm.so.6 (a name without a folder is a file in the "
       "current folder): ./libm.so.6: cannot open shared object file: No such file or "
       "directory"},
      {{"--txi", "16", "--out", out},
       "AMI_Init refused the parameters (Norvask (OutputGain 1)(txi 16)): txi 16 is outside 0 "
       "to 15; the model's message:\n" +
           stepIndex},
      // Every line of the model's message, in order, and the setting in the user's terms.
      {{"--params", "(Norvask (txi 99))", "--out", out},
       "AMI_Init refused the parameters (Norvask (txi 99)): txi 99 is outside 0 to 15; the "
       "model's message:\n" +
           gainDefault + stepIndex},
      // Hostile inputs: a precise error before any big allocation.
      {{"--channel", longSpan},
       longSpan + ": the response spans 1 ms, 64000001 samples at 15.63 ps; the limit is "
                  "4194304 samples"},
      {{"--bit-rate", "1e30"},
       "the sample interval 3.125e-32 s (1e+30 b/s, 32 samples per bit) is too fine: the "
       "model's 2.5 ns response alone needs 8e+22 samples; the limit is 4194304"},
      {{"--tail", "1"}, "--tail 1 s is 64000000000 samples at 15.63 ps; the limit is 4194304"},
      {{"--channel-ui", "100000", "--aggressor", malformed},
       "the built-in channel of 1e+05 unit intervals at 32 samples per bit would take 3200000 "
       "samples; the limit is 1048576"},
      {{"--tail", "5e-5", "--aggressor", zeros, "--aggressor", zeros},
       "the impulse matrix of 3202048 rows x 3 columns exceeds the limits of 4194304 rows and "
       "8388608 values; shorten the responses or use fewer aggressors"},
      {{"--channel", zeros},
       zeros + ": the channel's response is zero everywhere; there is no eye"},
      {{"--params", "(Norvask (OutputGain nan))", "--out", out},
       "the model returned a non-finite sample (NaN or infinity) at 0 s with the parameters "
       "(Norvask (OutputGain nan)): eye closed / undefined"},
      {{"--out", regular + "/today/"}, "--out: cannot create the folder " + regular + "/today/"},
      {{"--out", "/nonexistent/run"},
       "cannot write the impulse responses to /nonexistent/run_impulse.csv"},
  };
  expectRefusals(1, refusals);
}

TEST(NorvaskModel, ParametersAndRefusalsInTheUsersTerms) {
  EXPECT_EQ(norvaskParameters(4, 0.8), "(Norvask (OutputGain 0.8)(txi 4))");
  EXPECT_EQ(norvaskSettings(13, 1.0), "txi 13, OutputGain 1");
  const std::string index = "StepRespIndex must be an integer in the range [1, 16].";
  const struct {
    std::string parameters, message, reason;
  } refusals[] = {
      {"(Norvask (txi 16))", index, "txi 16 is outside 0 to 15"},
      {"(Norvask (txi  -3 ))", index, "txi -3 is outside 0 to 15"},
      {"(Norvask (OutputGain 2))", index, "the driver setting txi must be an integer from 0 to 15"},
      {"(Norvask (txi 3))", "OutputGain must be finite.", "see the model's message"},
  };
  for (const auto& c : refusals)
    EXPECT_EQ(refusalReason(c.parameters, c.message), c.reason) << c.parameters;
  const std::string library = defaultLibraryPath("ignored");
  EXPECT_EQ(library.substr(library.rfind('/')), "/libnorvask.so");
}

// A row with worst-case upper levels (best, worst) and a statistical eye `height` high (0: closed).
SweepRow sweepRow(std::int32_t txi, double best, double worst, double height) {
  SweepRow row;
  row.values = {std::to_string(txi)};
  row.eye.bcUpperLevel = best;
  row.eye.wcUpperLevel = worst;
  row.atBer.open = height > 0.0;
  row.atBer.height = height;
  return row;
}

TEST(ParameterSweep, TheBestRowByEachRankingTiesToTheEarlierPoint) {
  // Heights 0.6, 0.8, 0.8, undefined; ratios 0.6, 0.4, 0.8, -; at the BER 0.5, closed, 0.5, 0.9.
  const std::vector<SweepRow> rows{sweepRow(0, 0.5, 0.3, 0.5), sweepRow(1, 1.0, 0.4, 0.0),
                                   sweepRow(2, 0.5, 0.4, 0.5), sweepRow(3, 1e40, 0.5, 0.9)};
  const struct {
    EyeRank rank;
    bool byBer;
    std::vector<SweepRow> rows;
    std::int32_t best;
  } cases[] = {
      {EyeRank::kHeight, false, rows, 1},
      {EyeRank::kRatio, false, rows, 2},
      {EyeRank::kHeight, true, rows, 3},
      {EyeRank::kHeightAtBer, false, rows, 3},
      {EyeRank::kRatio, true, {rows[1]}, -1},          // a closed eye never wins
      {EyeRank::kRatio, true, {rows[0], rows[2]}, 0},  // a tie at the BER too
      {EyeRank::kHeight, false, {rows[3]}, -1},        // nor do undefined figures
  };
  for (const auto& c : cases) {
    SweepRequest request;
    request.rank = c.rank;
    request.rankByBer = c.byBer;
    EXPECT_EQ(bestRow(c.rows, request), c.best) << static_cast<int>(c.rank) << ' ' << c.byBer;
  }
}

// The step-response index and eye opening ratio the equalizer's own search picks for `channel`.
std::pair<std::int32_t, double> equalizerSearch(const std::vector<double>& channel,
                                                const LinkTiming& timing) {
  StepRespList list;
  buildStepResponseList(list);
  FIRwStepRespList equalizer;
  equalizer.ChannelImpulse = &channel;
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

TEST(ParameterSweep, RankedByRatioItPicksWhatTheEqualizersSearchPicks) {
  const testing::ModelLibrary library;
  ASSERT_EQ(library.loadError, "");
  std::vector<SweepAxis> axes;
  ASSERT_TRUE(testing::succeeded(readSweepAxes(norvaskBuiltInTree(), {"txi"}, axes)));
  SweepRequest request;
  request.tailTime = kDefaultTailTime;
  request.rank = EyeRank::kRatio;
  const std::pair<LinkTiming, double> cases[] = {
      {{5e9, 32}, 10.0}, {{2e9, 16}, 3.0}, {{8e9, 16}, 20.0}, {{1.25e9, 32}, 30.0}};
  std::set<std::int32_t> chosen;
  for (const auto& c : cases) {
    const LinkTiming& timing = c.first;
    ChannelSet channels;
    ChannelInfo info;
    ASSERT_TRUE(testing::succeeded(
        loadChannelInput({"", "", {}, BandWindow::kNone, c.second, 64.0}, timing, channels, info)));
    const auto runPoint = [&](const std::string&, const AmiSettings& point, ModelRun& run) {
      run = runThroughModel(library, channels, timing, kDefaultTailTime,
                            norvaskParameters(std::stoi(point.at("txi")), 1.0));
      return Status::Ok();
    };
    ParameterSweep sweep;
    ASSERT_TRUE(testing::succeeded(sweepParameters(timing, request, axes, runPoint, sweep)));
    ASSERT_EQ(sweep.rows.size(), 16u);
    const auto [index, ratio] = equalizerSearch(channels.channel, timing);
    EXPECT_EQ(sweep.best + 1, index) << c.second << " dB at " << timing.BitRate;
    ASSERT_GE(sweep.best, 0);
    EXPECT_NEAR(sweep.rows[static_cast<std::size_t>(sweep.best)].eye.openingRatio(), ratio,
                1e-9 * std::abs(ratio));
    chosen.insert(sweep.best);
  }
  EXPECT_GT(chosen.size(), 1u);  // the channels differ enough for different winners
}

// --help with its line breaks and indents read as single spaces.
std::string flattened(std::string help) {
  std::replace(help.begin(), help.end(), '\n', ' ');
  help.erase(
      std::unique(help.begin(), help.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
      help.end());
  return help;
}

TEST(HostOptions, EveryOptionIsInTheHelpWithItsDefaultAndParses) {
  const std::string help = hostUsage();
  const HostOptions defaults;
  for (const OptionSpec& spec : hostOptionTable()) {
    const std::string name = spec.name;
    // Listed at the start of a line, with its value name.
    const std::string listed =
        "\n  " + name + (spec.valueName != nullptr ? " " + std::string(spec.valueName) : "");
    EXPECT_TRUE(contains(help, listed) || contains(help, "\n  " + name + ", ")) << name;
    std::vector<const char*> argv{"ami_host", spec.name};
    const std::string value = spec.defaultText != nullptr ? spec.defaultText(defaults) : "1,3,2,4";
    if (spec.defaultText != nullptr) {
      EXPECT_TRUE(contains(flattened(help), flattened("(default " + value + ")"))) << value;
    }
    if (spec.valueName != nullptr)
      argv.push_back(value.c_str());
    HostOptions parsed;
    const Status status = parseHostOptions(static_cast<int>(argv.size()), argv.data(), parsed);
    const bool descriptive = value.find(' ') != std::string::npos;
    EXPECT_TRUE(status.ok() || descriptive) << name << ": " << status.message();
    EXPECT_TRUE(parsed.given.count(name) == 1 || descriptive) << name;
    if (spec.defaultText != nullptr && status.ok()) {
      EXPECT_EQ(spec.defaultText(parsed), value) << name;
    }
  }
  for (const char* text :
       {"  --help, -h            this text\n",
        "  --bit-rate BPS        bits per second (default 2e9)\n",
        "  --samples-per-bit N   samples per unit interval, 4 to 65536;\n",
        "  --txi N               driver step response, 0 to 15 (default 1)\n",
        "the txi sweep by eye height at the target BER\n"
        "                        whatever --rank says\n",
        "  --library PATH        IBIS-AMI shared library to load\n"
        "                        (default libnorvask.so / norvask.dll of this build,\n"
        "                        one folder above this program)\n"}) {
    EXPECT_TRUE(contains(help, text)) << text;
  }
  const std::string codes =
      "\nExit status: 0 when the run completed, 1 when it failed (the message on standard\n"
      "error says why), 2 for a command line it cannot read.\n";
  EXPECT_EQ(help.substr(help.size() - std::min(help.size(), codes.size())), codes);
}

TEST(HostRun, SweepOnTheBuiltInChannelWritesTablesAndFilesInTheFolderNamed) {
  const std::string folder = scratch("runs") + "/today/", prefix = folder + "ami_host";
  std::filesystem::remove_all(scratch("runs"));
  const Outcome sweep =
      runOnBuiltModel({"--sweep-txi", "--csv", "--rank-ber", "--stat-eye", "--out", folder});
  ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
  // Standard output holds only the CSV tables: the sweep, then the summary.
  std::istringstream tables(sweep.out);
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
  EXPECT_TRUE(contains(sweep.err, "Model message: (none)")) << sweep.err;
  EXPECT_TRUE(contains(sweep.err, "      " + prefix + "_bathtub.csv\n")) << sweep.err;
  const std::pair<const char*, const char*> files[] = {
      {"_impulse.csv", "time_s,channel_per_s,channel_plus_model_per_s\n"},
      {"_pulse.csv", "time_s,channel_V,channel_plus_model_V\n"},
      {"_pulse.svg", "<?xml"},
      {"_bathtub.csv", "time_s,time_UI,ber\n"},
      {"_eye.csv", "threshold_V,"},
      {"_eye.svg", "<?xml"}};
  for (const auto& [suffix, start] : files)
    EXPECT_EQ(slurp(prefix + suffix).rfind(start, 0), 0u) << suffix;
}

TEST(HostRun, ShippedTouchstoneExampleSweepsAndNamesEverything) {
  const std::string example = std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p";
  const std::string prefix = scratch("run");
  const auto sweepRankedBy = [&](const char* rank) {
    return runOnBuiltModel({"--channel", example, "--sweep-txi", "--rank", rank, "--out", prefix});
  };
  const Outcome sweep = sweepRankedBy("height");
  ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
  for (const std::string text :
       {"SDD21 of P-in 1, N-in 3, P-out 2, N-out 4 (ports found from the strongest through paths "
        "at 10 MHz)",
        "insertion loss at Nyquist (1 GHz): 6.40 dB",
        "DC gain: 0.9497 (extrapolated to DC from 10 MHz and 60 MHz)",
        // The sweep table: worst-case height, ratio, then the statistical columns.
        "\n 13  303.3 mV                  0.3169    ",
        "0.7188 UI               <- best (largest eye height)\n"}) {
    EXPECT_TRUE(contains(sweep.out, text)) << text << sweep.out;
  }
  EXPECT_TRUE(contains(sweep.out, "Wrote " + prefix + "_impulse.csv\n"));
  const std::string svg = slurp(prefix + "_pulse.svg");
  // The title breaks after its colon to stay inside the picture.
  for (const char* text :
       {"at 2 Gb/s, txi 13, OutputGain 1:</text>", ">channel alone and channel + model</text>",
        ">samples one unit interval apart (large: main cursor)</text>"}) {
    EXPECT_TRUE(contains(svg, text)) << text;
  }
  const Outcome byRatio = sweepRankedBy("ratio");
  EXPECT_TRUE(contains(byRatio.out, "\n 14  302.5 mV                  0.322    "));
  EXPECT_TRUE(contains(byRatio.out, "UI               <- best (largest eye opening ratio)\n"));
}

TEST(HostProgram, ExitsWithItsCodeAndWritesEachStream) {
  const struct {
    std::string arguments;
    int exitCode;
    std::string out, err;
  } cases[] = {
      {"--help", 0, hostUsage(), ""},
      {"--samples-per-bit 3", 2, "",
       "ami_host: error: --samples-per-bit: expected an integer from 4 to 65536, got '3'\n"},
  };
  for (const auto& c : cases) {
    const testing::HostOutcome outcome = testing::runHost(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.out, c.out) << c.arguments;
    EXPECT_EQ(outcome.err, c.err) << c.arguments;
  }
}

}  // namespace
}  // namespace norvask::host
