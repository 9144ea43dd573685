// ami_host: try an IBIS-AMI transmitter model on a channel before trusting it
// in a simulator. Loads the model library, calls AMI_Init / AMI_Close as a
// statistical channel simulator does, and reports taps, main cursor and the
// worst-case eye, with CSV files and an SVG plot of the pulse responses.
// Run with --help for the options.
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/AmiLibrary.h"
#include "host/BathtubPlot.h"
#include "host/BerContourPlot.h"
#include "host/ChannelFile.h"
#include "host/EyeMetrics.h"
#include "host/HostOptions.h"
#include "host/LossyChannel.h"
#include "host/ModelRun.h"
#include "host/PulsePlot.h"
#include "host/SeriesCsv.h"
#include "host/StatisticalEyeCsv.h"
#include "host/StatisticalRun.h"
#include "host/TxiSweep.h"

namespace {

using namespace norvask::host;

// Longest response column the host builds (128 MB of samples): beyond it a
// typing error in a rate or length would only end in an allocation failure.
constexpr long long kMaxSamples = 16777216;

constexpr int kBadUsage = 2;
constexpr int kFailed = 1;

int fail(const std::string& error, int code = kFailed) {
  std::cerr << "ami_host: error: " << error << "\n";
  return code;
}

// A number as a message shows it: six significant digits, no trailing zeros.
std::string shortNumber(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

bool readResponse(const std::string& path, double sampleInterval, std::vector<double>& samples,
                  std::string& error) {
  SampledWaveform waveform;
  if (!readTwoColumnFile(path, waveform, error))
    return false;
  samples = resampleLinear(waveform, sampleInterval);
  return true;
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

bool loadChannels(const HostOptions& options, const LinkTiming& timing, ChannelSet& channels,
                  std::string& description, std::string& error) {
  const double sampleInterval = timing.sampleInterval();
  if (options.channelFile.empty()) {
    if (options.channelLengthBits * timing.SamplesPerBit >= static_cast<double>(kMaxSamples)) {
      error = "--channel-ui times --samples-per-bit exceeds " + std::to_string(kMaxSamples) +
              " samples";
      return false;
    }
    channels.channel = builtInChannel(options, timing).ImpulseResponse();
    description = "built-in lossy channel, " + shortNumber(options.lossAtNyquist_dB) +
                  " dB loss at " + shortNumber(timing.BitRate / 2e9) + " GHz (Nyquist)";
  } else {
    if (!readResponse(options.channelFile, sampleInterval, channels.channel, error))
      return false;
    description = options.channelFile;
  }
  for (const auto& path : options.aggressorFiles) {
    channels.aggressors.emplace_back();
    if (!readResponse(path, sampleInterval, channels.aggressors.back(), error))
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

void printSweep(const TxiSweep& sweep, bool csv, double targetBer) {
  if (csv) {
    std::cout
        << "txi,eye_height_V,eye_opening_ratio,eye_height_at_ber_V,eye_width_at_ber_UI,best\n";
    for (const auto& row : sweep.rows) {
      std::cout << row.txi << ',' << row.eye.height() << ',' << row.eye.openingRatio() << ','
                << row.atBer.height << ',' << row.atBer.width << ','
                << (row.txi == sweep.bestTxi ? 1 : 0) << '\n';
    }
    std::cout << '\n';
    return;
  }
  const std::string at = " at " + shortNumber(targetBer);
  std::cout << "txi  eye height (V)  eye opening ratio  eye height" << at << " (V)  eye width" << at
            << " (UI)\n";
  const auto column = static_cast<std::streamsize>(at.size() + 15);
  for (const auto& row : sweep.rows) {
    std::cout.width(3);
    std::cout << row.txi << "  ";
    std::cout.width(14);
    std::cout << row.eye.height() << "  ";
    std::cout.width(17);
    std::cout << row.eye.openingRatio() << "  ";
    std::cout.width(column);
    std::cout << row.atBer.height << "  ";
    std::cout.width(column);
    std::cout << row.atBer.width << (row.txi == sweep.bestTxi ? "  <- best" : "") << '\n';
  }
  std::cout << '\n';
}

struct Summary {
  std::vector<double> taps;
  EyeMetrics channelEye;
  EyeMetrics linkEye;
  double sampleInterval = 0.0;
};

void printSummary(const Summary& s, bool csv) {
  double tapSum = 0.0;
  for (double tap : s.taps)
    tapSum += tap;
  const double cursorTime = [&s](const EyeMetrics& eye) {
    return static_cast<double>(eye.mainCursorIndex) * s.sampleInterval;
  }(s.linkEye);
  if (csv) {
    std::cout << "quantity,channel,channel_plus_model\n"
              << "main_cursor_V," << s.channelEye.mainCursor << ',' << s.linkEye.mainCursor << '\n'
              << "main_cursor_time_s,"
              << static_cast<double>(s.channelEye.mainCursorIndex) * s.sampleInterval << ','
              << cursorTime << '\n'
              << "eye_height_V," << s.channelEye.height() << ',' << s.linkEye.height() << '\n'
              << "eye_opening_ratio," << s.channelEye.openingRatio() << ','
              << s.linkEye.openingRatio() << '\n'
              << "driver_taps,," << s.taps.size() << '\n'
              << "driver_tap_sum,," << tapSum << "\n\n";
    return;
  }
  std::cout << "Driver taps: " << s.taps.size() << " (sum " << tapSum
            << " = final value of the driver's step response)\n"
            << "Main cursor: " << s.linkEye.mainCursor << " V at " << cursorTime
            << " s (channel alone: " << s.channelEye.mainCursor << " V)\n"
            << "Worst-case eye height at the eye centre: " << s.linkEye.height()
            << " V for 1 V peak-to-peak data (channel alone: " << s.channelEye.height() << " V)\n"
            << "Eye opening ratio (worst case / best case): " << s.linkEye.openingRatio()
            << " (channel alone: " << s.channelEye.openingRatio() << ")\n";
}

bool writeFile(const std::string& path, const std::string& what,
               const std::function<void(std::ostream&)>& write, std::string& error) {
  std::ofstream file(path);
  if (!file.is_open()) {
    error = path + ": cannot write the " + what;
    return false;
  }
  write(file);
  return true;
}

bool writeOutputs(const HostOptions& options, const LinkTiming& timing, const ChannelSet& channels,
                  const ModelRun& run, const EyeMetrics& linkEye, std::string& error) {
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
  plot.title = "Pulse response of a 1 V bit at " + shortNumber(timing.BitRate / 1e9) +
               " Gb/s: channel alone and channel + model";
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
  const std::string target = shortNumber(ber);
  std::cout << "Eye height at " << target << ": " << at.height << " V at " << offset
            << " s from the main cursor (worst case: " << summary.linkEye.height() << " V)\n"
            << "Eye width at " << target << ": " << at.width
            << " UI = " << at.width * timing.bitTime() << " s\n"
            << "Statistical eye: "
            << (s.crosstalkPhase == CrosstalkPhase::kAveraged ? "averaged" : "worst-case")
            << " crosstalk phase, noise " << s.noiseRms << " V rms, jitter " << s.randomJitterRms
            << " UI rms random + " << s.deterministicJitter << " UI dual-Dirac; voltage bin "
            << eye.binWidth() << " V, any pattern's level within " << eye.levelErrorBound()
            << " V\n";
}

bool writeStatisticalOutputs(const HostOptions& options, const LinkTiming& timing,
                             const StatisticalEye& eye, const EyeAtBer& at, std::string& error) {
  const std::string& prefix = options.outputPrefix;
  const std::string ber = shortNumber(options.statistical.targetBer);
  const std::string rate = shortNumber(timing.BitRate / 1e9) + " Gb/s";
  BerContourPlot contours;
  contours.title = "Statistical eye at " + rate + ": BER, eye at " + ber + " marked";
  BathtubPlot bathtub;
  bathtub.title = "Bathtub at " + rate + " at the eye's best threshold";
  for (auto* plot : {&contours.eye, &bathtub.eye})
    *plot = &eye;
  contours.unitInterval = bathtub.unitInterval = timing.bitTime();
  contours.targetBer = bathtub.targetBer = options.statistical.targetBer;
  contours.atTarget = bathtub.atTarget = at;
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
    notes(options) << "Wrote " << std::filesystem::absolute(prefix + suffix).string() << '\n';
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
  std::string channelDescription;
  if (!loadChannels(options, timing, channels, channelDescription, error))
    return fail(error);

  if (options.tailTime / timing.sampleInterval() >= static_cast<double>(kMaxSamples)) {
    return fail("--tail exceeds " + std::to_string(kMaxSamples) + " samples");
  }
  notes(options) << "Library: " << libraryPath << "\nChannel: " << channelDescription << ", "
                 << channels.aggressors.size() << " aggressor(s)\nLink: " << timing.BitRate
                 << " bit/s, " << timing.SamplesPerBit << " samples per bit, sample interval "
                 << timing.sampleInterval() << " s\n\n";

  std::int32_t txi = options.txi;
  if (options.sweep) {
    TxiSweep sweep;
    if (!sweepTxi(library, channels, timing, options.tailTime, options.outputGain, sweep, error,
                  &options.statistical)) {
      return fail(error);
    }
    printSweep(sweep, options.csv, options.statistical.targetBer);
    if (sweep.bestTxi >= 0)
      txi = sweep.bestTxi;
  }
  const std::string parameters =
      options.parameters.empty() ? norvaskParameters(txi, options.outputGain) : options.parameters;
  const ModelRun run = runThroughModel(library, channels, timing, options.tailTime, parameters);
  notes(options) << "Parameters: " << parameters << "\nAMI_Init returned " << run.call.initResult
                 << ", AMI_Close returned " << run.call.closeResult << "\nModel message:"
                 << (run.call.message.empty() ? " (none)\n" : "\n" + run.call.message) << '\n';
  if (run.call.initResult != 1) {
    return fail("AMI_Init failed: " + run.call.message.substr(0, run.call.message.find('\n')));
  }

  Summary summary;
  summary.sampleInterval = timing.sampleInterval();
  summary.taps = driverTaps(library, timing, options, parameters);
  if (!measureEye(channels.channel, summary.sampleInterval, timing.SamplesPerBit,
                  summary.channelEye, error) ||
      !measureEye(run.columns[0], summary.sampleInterval, timing.SamplesPerBit, summary.linkEye,
                  error)) {
    return fail("eye analysis: " + error);
  }
  printSummary(summary, options.csv);
  StatisticalEye statEye;
  if (!statisticalEyeOfRun(run, timing, options.statistical, statEye, error))
    return fail(error);
  const EyeAtBer atBer = statEye.AtBer(options.statistical.targetBer);
  printStatistical(options, statEye, atBer, summary, timing);
  if (!writeOutputs(options, timing, channels, run, summary.linkEye, error))
    return fail(error);
  notes(options) << "\nWrote " << options.outputPrefix << "_impulse.csv, " << options.outputPrefix
                 << "_pulse.csv and " << options.outputPrefix << "_pulse.svg\n";
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
