// ami_host: try an IBIS-AMI transmitter model on a channel before trusting it
// in a simulator. Loads the model library, calls AMI_Init / AMI_Close as a
// statistical channel simulator does, and reports taps, main cursor and the
// worst-case eye, with CSV files and an SVG plot of the pulse responses.
// Run with --help for the options.
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/model/ModelLibrary.h"
#include "host/output/BathtubPlot.h"
#include "host/output/BerContourPlot.h"
#include "host/channel/ChannelInput.h"
#include "host/base/EngineeringFormat.h"
#include "host/analysis/EyeMetrics.h"
#include "host/app/HostOptions.h"
#include "host/channel/LossyChannel.h"
#include "host/app/NorvaskModel.h"
#include "host/model/ModelRun.h"
#include "host/output/PulsePlot.h"
#include "host/output/SeriesCsv.h"
#include "host/output/StatisticalEyeCsv.h"
#include "host/analysis/RunAnalysis.h"
#include "host/app/TxiSweep.h"

namespace {

using namespace norvask::host;

// Bounds that keep the whole run under 1 GiB whatever the input: the longest
// column the host builds (32 MiB of samples), the whole impulse matrix
// (64 MiB), and the built-in channel, whose synthesis works on eight times
// its length in complex numbers (128 MiB at 2^20 samples).
constexpr double kMaxRows = static_cast<double>(kMaxConvertedSamples);
constexpr double kMaxMatrixValues = static_cast<double>(std::size_t{1} << 23);
constexpr double kMaxBuiltInSamples = static_cast<double>(std::size_t{1} << 20);

constexpr int kBadUsage = 2;
constexpr int kFailed = 1;

// The first line after the program's name, later lines indented under it.
int fail(const std::string& error, int code = kFailed) {
  std::string text = "ami_host: error: ";
  for (char c : error)
    text += c == '\n' ? std::string("\n  ") : std::string(1, c);
  std::cerr << text << "\n";
  return code;
}

LossyChannel builtInChannel(const HostOptions& options, const LinkTiming& timing) {
  LossyChannel channel;
  channel.LossAtNyquist_dB = options.lossAtNyquist_dB;
  channel.NyquistFrequency = timing.BitRate / 2.0;
  channel.SampleInterval = timing.sampleInterval();
  channel.Samples =
      static_cast<std::int64_t>(std::ceil(options.channelLengthBits * timing.SamplesPerBit));
  return channel;
}

bool loadBuiltIn(const HostOptions& options, const LinkTiming& timing, ChannelSet& channels,
                 ChannelInfo& info, std::string& error) {
  const double samples = std::ceil(options.channelLengthBits * timing.SamplesPerBit);
  if (samples > kMaxBuiltInSamples) {
    error = "the built-in channel of " + plain(options.channelLengthBits) + " unit intervals at " +
            std::to_string(timing.SamplesPerBit) + " samples per bit would take " + count(samples) +
            " samples; the limit is " + count(kMaxBuiltInSamples);
    return false;
  }
  channels.channel = builtInChannel(options, timing).ImpulseResponse();
  info.description = "built-in lossy channel, " + decibels(options.lossAtNyquist_dB) + " loss at " +
                     hertz(timing.BitRate / 2.0) + " (Nyquist)";
  describeImpulse(channels.channel, timing, info);
  info.dcNote = "sum of the impulse response";
  return true;
}

bool allZero(const std::vector<double>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](double v) { return v == 0.0; });
}

bool loadChannels(const HostOptions& options, const LinkTiming& timing, ChannelSet& channels,
                  ChannelInfo& info, std::string& error) {
  if (options.channelFile.empty()) {
    if (!options.portMap.empty()) {
      error = "--ports needs a Touchstone --channel file";
      return false;
    }
    const ChannelRequest aggressorsOnly{"", "", options.aggressorFiles, options.window};
    return loadBuiltIn(options, timing, channels, info, error) &&
           loadChannelInput(aggressorsOnly, timing, channels, info, error);
  }
  ChannelRequest request{options.channelFile, options.portMap, options.aggressorFiles,
                         options.window};
  if (!loadChannelInput(request, timing, channels, info, error))
    return false;
  if (allZero(channels.channel)) {
    error = options.channelFile + ": the channel's response is zero everywhere; there is no eye";
    return false;
  }
  return true;
}

// The matrix AMI_Init gets must fit the bounds; the message names what makes
// it too big in the terms the user chose.
bool checkMatrixSize(const HostOptions& options, const LinkTiming& timing,
                     const ChannelSet& channels, std::string& error) {
  const double dt = timing.sampleInterval();
  const double tail = std::ceil(options.tailTime / dt);
  if (tail > kMaxRows) {
    error = options.tailGiven
                ? "--tail " + seconds(options.tailTime) + " is " + count(tail) + " samples at " +
                      seconds(dt) + "; the limit is " + count(kMaxRows)
                : "the sample interval " + seconds(dt) + " (" + bitRate(timing.BitRate) + ", " +
                      std::to_string(timing.SamplesPerBit) +
                      " samples per bit) is too fine: the model's " + seconds(options.tailTime) +
                      " response alone needs " + count(tail) + " samples; the limit is " +
                      count(kMaxRows);
    return false;
  }
  std::size_t longest = channels.channel.size();
  for (const auto& aggressor : channels.aggressors)
    longest = std::max(longest, aggressor.size());
  const double rows = static_cast<double>(longest) + tail;
  const double columns = static_cast<double>(channels.aggressors.size() + 1);
  if (rows > kMaxRows || rows * columns > kMaxMatrixValues) {
    error = "the impulse matrix of " + count(rows) + " rows x " + count(columns) +
            " columns exceeds the limits of " + count(kMaxRows) + " rows and " +
            count(kMaxMatrixValues) + " values; shorten the responses or use fewer aggressors";
    return false;
  }
  return true;
}

// The driver's own impulse response: the model's answer to a unit-area
// channel, times the sample interval, gives the taps it filters with.
std::vector<double> driverTaps(const AmiLibrary& library, const LinkTiming& timing,
                               const HostOptions& options, const std::string& parameters) {
  ChannelSet unit;
  unit.channel = {1.0 / timing.sampleInterval()};
  ModelRun run = runThroughModel(library, unit, timing, options.tailTime, parameters);
  std::vector<double>& taps = run.columns[0];
  for (auto& tap : taps)
    tap *= timing.sampleInterval();
  while (taps.size() > 1 && taps.back() == 0.0)
    taps.pop_back();
  return taps;
}

// Eye height in words when there is no number, and said to be closed when
// the number is negative.
std::string eyeHeightText(const EyeMetrics& eye) {
  if (!eye.defined())
    return "eye closed / undefined";
  return volts(eye.height()) + (eye.height() <= 0.0 ? " (eye closed)" : "");
}

std::string ratioText(const EyeMetrics& eye) {
  return eye.defined() ? plain(eye.openingRatio()) : "eye closed / undefined";
}

std::string csvNumber(double value, bool defined) {
  std::ostringstream text;
  text << value;
  return defined && std::isfinite(value) ? text.str() : "undefined";
}

// The criterion next to "<- best", as the sweep ranked.
std::string sweepCriterion(const HostOptions& options) {
  if (options.statistical.rankSweep)
    return "largest eye height at BER " + plain(options.statistical.targetBer);
  return rankCriterion(options.rank);
}

std::string atBerText(const EyeAtBer& at, const std::string& value) {
  return at.open ? value : "eye closed";
}

void printSweepCsv(const TxiSweep& sweep) {
  std::cout << "txi,eye_height_V,eye_opening_ratio,eye_height_at_ber_V,eye_width_at_ber_UI,best\n";
  for (const auto& row : sweep.rows) {
    std::cout << row.txi << ',' << csvNumber(row.eye.height(), row.eye.defined()) << ','
              << csvNumber(row.eye.openingRatio(), row.eye.defined()) << ',' << row.atBer.height
              << ',' << row.atBer.width << ',' << (row.txi == sweep.bestTxi ? 1 : 0) << '\n';
  }
  std::cout << '\n';
}

std::string padded(std::string text, std::size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

// The last column, padded only when the mark follows it.
std::string bestMark(const std::string& last, std::size_t width, bool best,
                     const HostOptions& options) {
  return best ? padded(last, width) + "  <- best (" + sweepCriterion(options) + ")" : last;
}

void printSweep(const TxiSweep& sweep, const HostOptions& options) {
  if (options.csv) {
    printSweepCsv(sweep);
    return;
  }
  const std::string at = " at BER " + plain(options.statistical.targetBer);
  const std::size_t berColumn = at.size() + 12;
  std::cout << "txi  " << padded("eye height", 24) << "  " << padded("eye opening ratio", 22)
            << "  " << padded("eye height" + at, berColumn) << "  eye width" << at << '\n';
  for (const auto& row : sweep.rows) {
    std::cout.width(3);
    std::cout << row.txi << "  " << padded(eyeHeightText(row.eye), 24) << "  "
              << padded(ratioText(row.eye), 22) << "  "
              << padded(atBerText(row.atBer, volts(row.atBer.height)), berColumn) << "  "
              << bestMark(atBerText(row.atBer, plain(row.atBer.width) + " UI"), at.size() + 9,
                          row.txi == sweep.bestTxi, options)
              << '\n';
  }
  std::cout << '\n';
}

struct Summary {
  std::vector<double> taps;
  EyeMetrics channelEye;
  EyeMetrics linkEye;
  std::size_t aggressors = 0;
  double sampleInterval = 0.0;
};

double tapSum(const Summary& s) {
  double sum = 0.0;
  for (double tap : s.taps)
    sum += tap;
  return sum;
}

void printSummaryCsv(const Summary& s) {
  const double dt = s.sampleInterval;
  const EyeMetrics& c = s.channelEye;
  const EyeMetrics& l = s.linkEye;
  std::cout << "quantity,channel,channel_plus_model\n"
            << "main_cursor_V," << c.mainCursor << ',' << l.mainCursor << '\n'
            << "main_cursor_time_s," << static_cast<double>(c.mainCursorIndex) * dt << ','
            << static_cast<double>(l.mainCursorIndex) * dt << '\n'
            << "eye_height_V," << csvNumber(c.height(), c.defined()) << ','
            << csvNumber(l.height(), l.defined()) << '\n'
            << "eye_opening_ratio," << csvNumber(c.openingRatio(), c.defined()) << ','
            << csvNumber(l.openingRatio(), l.defined()) << '\n'
            << "crosstalk_V," << c.crosstalk << ',' << l.crosstalk << '\n'
            << "driver_taps,," << s.taps.size() << '\n'
            << "driver_tap_sum,," << csvNumber(tapSum(s), true) << "\n\n";
}

void printSummary(const Summary& s) {
  const double cursorTime = static_cast<double>(s.linkEye.mainCursorIndex) * s.sampleInterval;
  std::cout << "Driver taps: " << s.taps.size() << " (sum " << plain(tapSum(s))
            << " = final value of the driver's step response)\n"
            << "Main cursor: " << volts(s.linkEye.mainCursor) << " at " << seconds(cursorTime)
            << " (channel alone: " << volts(s.channelEye.mainCursor) << ")\n"
            << "Worst-case eye height at the eye centre: " << eyeHeightText(s.linkEye)
            << " for 1 V peak-to-peak data (channel alone: " << eyeHeightText(s.channelEye) << ")\n"
            << "Eye opening ratio (worst case / best case): " << ratioText(s.linkEye)
            << " (channel alone: " << ratioText(s.channelEye) << ")\n";
  if (s.aggressors > 0) {
    std::cout << "Crosstalk in those figures: " << volts(s.linkEye.crosstalk)
              << " off the eye from " << s.aggressors
              << " aggressor(s), every one at its worst at the main cursor's phase\n";
  }
}

std::string fullPath(const std::string& path) {
  std::error_code ignored;
  const auto absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

bool writeFile(const std::string& path, const std::string& what,
               const std::function<void(std::ostream&)>& write, std::string& error) {
  std::ofstream file(path);
  if (!file.is_open()) {
    error = "cannot write the " + what + " to " + fullPath(path);
    return false;
  }
  write(file);
  return true;
}

std::string settingsTitle(const HostOptions& options, std::int32_t txi) {
  if (!options.parameters.empty())
    return "parameters " + options.parameters;
  return "txi " + std::to_string(txi) + ", OutputGain " + plain(options.outputGain);
}

bool writeOutputs(const HostOptions& options, const LinkTiming& timing, const ChannelSet& channels,
                  const ModelRun& run, const EyeMetrics& linkEye, std::int32_t txi,
                  std::string& error) {
  const double dt = timing.sampleInterval();
  std::vector<NamedSeries> impulses{{"channel_per_s", channels.channel},
                                    {"channel_plus_model_per_s", run.columns[0]}};
  for (std::size_t a = 1; a < run.columns.size(); ++a) {
    impulses.push_back({"aggressor_" + std::to_string(a) + "_plus_model_per_s", run.columns[a]});
  }
  const std::vector<NamedSeries> pulses{
      {"channel_V", pulseResponse(channels.channel, dt, timing.SamplesPerBit)},
      {"channel_plus_model_V", pulseResponse(run.columns[0], dt, timing.SamplesPerBit)}};
  PulsePlot plot;
  plot.title = "Pulse response of a 1 V bit at " + bitRate(timing.BitRate) + ", " +
               settingsTitle(options, txi) + ": channel alone and channel + model";
  plot.sampleInterval = dt;
  plot.samplesPerBit = timing.SamplesPerBit;
  plot.series = {{"channel alone", pulses[0].values}, {"channel + model", pulses[1].values}};
  plot.mainCursorIndex = linkEye.mainCursorIndex;

  const std::string& prefix = options.outputPrefix;
  return writeFile(
             prefix + "_impulse.csv", "impulse responses",
             [&](std::ostream& out) { writeSeriesCsv(out, dt, impulses); }, error) &&
         writeFile(
             prefix + "_pulse.csv", "pulse responses",
             [&](std::ostream& out) { writeSeriesCsv(out, dt, pulses); }, error) &&
         writeFile(
             prefix + "_pulse.svg", "plot", [&](std::ostream& out) { plot.Write(out); }, error);
}

// Keeps a human-readable run readable and a --csv run parseable: notes go to
// standard output as text, or to standard error next to CSV tables.
std::ostream& notes(const HostOptions& options) {
  return options.csv ? std::cerr : std::cout;
}

// The statistical eye next to the worst-case figures: height and width at the
// target BER, and what the grid and noise settings were.
void printStatistical(const HostOptions& options, const StatisticalEye& eye, const EyeAtBer& at,
                      const Summary& summary, const LinkTiming& timing) {
  const double ber = options.statistical.targetBer;
  const StatisticalEyeSettings& s = options.statistical.settings;
  const double offset = eye.PhaseOffset(at.bestPhase) * timing.bitTime();
  if (options.csv) {
    std::cout << "quantity,value\ntarget_ber," << ber << "\neye_height_at_ber_V," << at.height
              << "\neye_width_at_ber_UI," << at.width << "\neye_centre_from_main_cursor_s,"
              << offset << "\nvoltage_bin_V," << eye.binWidth() << "\nlevel_error_bound_V,"
              << eye.levelErrorBound() << "\n\n";
    return;
  }
  const std::string target = "BER " + plain(ber);
  std::cout << "Eye height at " << target << ": "
            << atBerText(at, volts(at.height) + " at " + seconds(offset) + " from the main cursor")
            << " (worst case: " << eyeHeightText(summary.linkEye) << ")\n"
            << "Eye width at " << target << ": "
            << atBerText(at, plain(at.width) + " UI = " + seconds(at.width * timing.bitTime()))
            << "\nStatistical eye: "
            << (s.crosstalkPhase == CrosstalkPhase::kAveraged ? "averaged" : "worst-case")
            << " crosstalk phase, noise " << volts(s.noiseRms) << " rms, jitter "
            << plain(s.randomJitterRms) << " UI rms random + " << plain(s.deterministicJitter)
            << " UI dual-Dirac; voltage bin " << volts(eye.binWidth())
            << ", any pattern's level within " << volts(eye.levelErrorBound()) << "\n";
}

bool writeStatisticalOutputs(const HostOptions& options, const LinkTiming& timing,
                             const StatisticalEye& eye, const EyeAtBer& at, std::string& error) {
  const std::string& prefix = options.outputPrefix;
  const std::string ber = plain(options.statistical.targetBer);
  const std::string rate = bitRate(timing.BitRate);
  const EyeFigure figure{&eye, timing.bitTime(), options.statistical.targetBer, at};
  const BerContourPlot contours{{figure},
                                "Statistical eye at " + rate + ": BER, eye at " + ber + " marked"};
  const BathtubPlot bathtub{{figure}, "Bathtub at " + rate + " at the eye's best threshold"};
  const double ui = timing.bitTime();
  const bool written =
      writeFile(
          prefix + "_eye.svg", "eye plot", [&](std::ostream& out) { contours.Write(out); },
          error) &&
      writeFile(
          prefix + "_eye.csv", "eye table",
          [&](std::ostream& out) { writeStatisticalEyeCsv(out, eye, ui); }, error) &&
      writeFile(
          prefix + "_bathtub.svg", "bathtub plot", [&](std::ostream& out) { bathtub.Write(out); },
          error) &&
      writeFile(
          prefix + "_bathtub.csv", "bathtub table",
          [&](std::ostream& out) { writeBathtubCsv(out, eye, at, ui); }, error);
  if (!written)
    return false;
  for (const char* suffix : {"_eye.svg", "_eye.csv", "_bathtub.svg", "_bathtub.csv"})
    notes(options) << "      " << fullPath(prefix + suffix) << '\n';
  return true;
}

void printChannel(const HostOptions& options, const LinkTiming& timing, const ChannelInfo& info,
                  const std::string& libraryPath) {
  std::ostream& out = notes(options);
  out << "Library: " << fullPath(libraryPath) << "\nChannel: " << info.description << ", "
      << info.aggressorNames.size() << " aggressor(s)\n";
  for (std::size_t a = 0; a < info.aggressorNames.size(); ++a)
    out << "  aggressor " << a + 1 << ": " << info.aggressorNames[a] << '\n';
  const double nyquist = timing.BitRate / 2.0;
  out << "  insertion loss at Nyquist (" << hertz(nyquist) << "): "
      << (std::isnan(info.lossAtNyquist_dB) ? "not in the data" : decibels(info.lossAtNyquist_dB))
      << "\n  DC gain: " << plain(info.dcGain) << " (" << info.dcNote << ")"
      << "\n  propagation delay: " << seconds(info.delay) << " (step response at 50 %)"
      << "\n  energy before the main rise: " << percent(info.preRiseEnergy)
      << " (causality: ringing or non-causal data ahead of the rise)\n"
      << "Link: " << bitRate(timing.BitRate) << ", " << timing.SamplesPerBit
      << " samples per bit, sample interval " << seconds(timing.sampleInterval()) << "\n\n";
}

// The position of the first non-finite sample in the model's output, or -1.
long firstNonFinite(const ModelRun& run) {
  for (const auto& column : run.columns) {
    for (std::size_t i = 0; i < column.size(); ++i) {
      if (!std::isfinite(column[i]))
        return static_cast<long>(i);
    }
  }
  return -1;
}

int reportModelFailure(const ModelRun& run, const std::string& parameters) {
  std::string message = run.call.message;
  while (!message.empty() && message.back() == '\n')
    message.pop_back();
  return fail("AMI_Init refused the parameters " + parameters + ": " +
              refusalReason(parameters, message) + "; the model's message:\n" + message);
}

bool sweepIfAsked(const HostOptions& options, const AmiLibrary& library, const ChannelSet& channels,
                  const LinkTiming& timing, std::int32_t& txi, std::string& error) {
  if (!options.sweep)
    return true;
  TxiSweep sweep;
  if (!sweepTxi(library, channels, timing, options.tailTime, options.outputGain, options.rank,
                sweep, error, &options.statistical)) {
    return false;
  }
  if (!channels.aggressors.empty()) {
    notes(options) << "Eye figures with " << channels.aggressors.size()
                   << " aggressor(s), each at its worst:\n";
  }
  printSweep(sweep, options);
  if (sweep.bestTxi >= 0)
    txi = sweep.bestTxi;
  return true;
}

int runHost(const HostOptions& options, const char* programPath) {
  LinkTiming timing;
  timing.BitRate = options.bitRate;
  timing.SamplesPerBit = options.samplesPerBit;
  const std::string libraryPath =
      options.libraryPath.empty() ? defaultLibraryPath(programPath) : options.libraryPath;
  AmiLibrary library;
  std::string error;
  if (!library.Load(libraryPath, error))
    return fail(error);
  ChannelSet channels;
  ChannelInfo info;
  if (!loadChannels(options, timing, channels, info, error) ||
      !checkMatrixSize(options, timing, channels, error)) {
    return fail(error);
  }
  printChannel(options, timing, info, libraryPath);

  std::int32_t txi = options.txi;
  if (!sweepIfAsked(options, library, channels, timing, txi, error))
    return fail(error);
  const std::string parameters =
      options.parameters.empty() ? norvaskParameters(txi, options.outputGain) : options.parameters;
  const ModelRun run = runThroughModel(library, channels, timing, options.tailTime, parameters);
  notes(options) << "Parameters: " << parameters << "\nAMI_Init returned " << run.call.initResult
                 << ", AMI_Close returned " << run.call.closeResult << "\nModel message:"
                 << (run.call.message.empty() ? " (none)\n" : "\n" + run.call.message) << '\n';
  if (run.call.initResult != 1)
    return reportModelFailure(run, parameters);
  if (const long bad = firstNonFinite(run); bad >= 0) {
    return fail("the model returned a non-finite sample (NaN or infinity) at " +
                seconds(static_cast<double>(bad) * timing.sampleInterval()) +
                " with the parameters " + parameters + ": eye closed / undefined");
  }

  Summary summary;
  summary.sampleInterval = timing.sampleInterval();
  summary.taps = driverTaps(library, timing, options, parameters);
  summary.aggressors = channels.aggressors.size();
  if (!measureEye(channels.channel, summary.sampleInterval, timing.SamplesPerBit,
                  summary.channelEye, error) ||
      !measureEye(run.columns[0], summary.sampleInterval, timing.SamplesPerBit, summary.linkEye,
                  error)) {
    return fail("eye analysis: " + error);
  }
  const std::vector<std::vector<double>> aggressors(run.columns.begin() + 1, run.columns.end());
  includeCrosstalk(channels.aggressors, summary.sampleInterval, timing.SamplesPerBit,
                   summary.channelEye);
  includeCrosstalk(aggressors, summary.sampleInterval, timing.SamplesPerBit, summary.linkEye);
  if (options.csv)
    printSummaryCsv(summary);
  else
    printSummary(summary);
  StatisticalEye statEye;
  if (!statisticalEyeOfRun(run, timing, options.statistical, statEye, error))
    return fail(error);
  const EyeAtBer atBer = statEye.AtBer(options.statistical.targetBer);
  printStatistical(options, statEye, atBer, summary, timing);
  if (!writeOutputs(options, timing, channels, run, summary.linkEye, txi, error))
    return fail(error);
  const std::string& prefix = options.outputPrefix;
  notes(options) << "\nWrote " << fullPath(prefix + "_impulse.csv") << "\n      "
                 << fullPath(prefix + "_pulse.csv") << "\n      " << fullPath(prefix + "_pulse.svg")
                 << '\n';
  if (options.statEyeFiles && !writeStatisticalOutputs(options, timing, statEye, atBer, error))
    return fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  HostOptions options;
  std::string error;
  if (!parseHostOptions(argc, argv, options, error))
    return fail(error, kBadUsage);
  if (options.help) {
    std::cout << hostUsage();
    return 0;
  }
  try {
    return runHost(options, argv[0]);
  } catch (const std::exception& failure) {
    // Only allocation can throw here; say so instead of aborting.
    return fail(std::string("out of resources: ") + failure.what());
  }
}
