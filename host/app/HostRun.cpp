#include "host/app/HostRun.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "host/app/HostReport.h"
#include "host/app/OptionTable.h"
#include "host/app/RunCost.h"
#include "host/app/RunFiles.h"
#include "host/base/EngineeringFormat.h"
#include "host/channel/ChannelInput.h"

namespace norvask::host {

namespace {

// The first line after the program's name, later lines indented under it.
int fail(std::ostream& notes, const Status& status, int code = kRunFailed) {
  std::string text = "ami_host: error: ";
  for (char c : status.message())
    text += c == '\n' ? std::string("\n  ") : std::string(1, c);
  notes << text << "\n";
  return code;
}

ChannelRequest channelRequest(const HostOptions& options) {
  return {options.channelFile, options.portMap,          options.aggressorFiles,
          options.window,      options.lossAtNyquist_dB, options.channelLengthBits};
}

// The zero padding must fit the matrix; the message names what makes it too
// long in the terms the user chose.
Status checkTail(const HostOptions& options, const LinkTiming& timing, double& tail) {
  const double dt = timing.sampleInterval();
  const auto maxRows = static_cast<double>(kMaxConvertedSamples);
  tail = std::ceil(options.tailTime / dt);
  if (!(tail > maxRows))
    return Status::Ok();
  if (options.given.count("--tail") > 0) {
    return Status::Error("--tail " + seconds(options.tailTime) + " is " + count(tail) +
                         " samples at " + seconds(dt) + "; the limit is " + count(maxRows));
  }
  return Status::Error("the sample interval " + seconds(dt) + " (" + bitRate(timing.BitRate) +
                       ", " + std::to_string(timing.SamplesPerBit) +
                       " samples per bit) is too fine: the model's " + seconds(options.tailTime) +
                       " response alone needs " + count(tail) + " samples; the limit is " +
                       count(maxRows));
}

// The model's matrix: the longest response and the tail, one column per
// response.
MatrixShape matrixShape(const ChannelSet& channels, double tail) {
  std::size_t longest = channels.channel.size();
  for (const auto& aggressor : channels.aggressors)
    longest = std::max(longest, aggressor.size());
  return {static_cast<std::int64_t>(longest) + static_cast<std::int64_t>(tail),
          static_cast<std::int64_t>(channels.aggressors.size())};
}

Status loadChannels(const HostOptions& options, const LinkTiming& timing, ChannelSet& channels,
                    ChannelInfo& info) {
  double tail = 0.0;
  Status status = loadChannelInput(channelRequest(options), timing, channels, info);
  if (status.ok())
    status = checkTail(options, timing, tail);
  if (status.ok())
    status = checkMatrixSize(channels, tail);
  return status.ok() ? checkRunCost(options, timing, matrixShape(channels, tail)) : status;
}

Status checkModelOutput(const ModelRun& run, const std::string& parameters, double dt) {
  if (run.call.initResult != 1) {
    return Status::Error("AMI_Init refused the parameters " + parameters + ": " +
                         refusalReason(parameters, run.call.message) + "; the model's message:\n" +
                         run.call.message);
  }
  if (const long bad = firstNonFinite(run); bad >= 0) {
    return Status::Error("the model returned a non-finite sample (NaN or infinity) at " +
                         seconds(static_cast<double>(bad) * dt) + " with the parameters " +
                         parameters + ": eye closed / undefined");
  }
  return Status::Ok();
}

// The sweep when asked, printed; `txi` becomes its best setting.
Status sweepIfAsked(const HostOptions& options, const LinkTiming& timing, const AmiLibrary& library,
                    const ChannelSet& channels, const HostReport& report, std::ostream& progress,
                    std::int32_t& txi) {
  if (!options.sweep)
    return Status::Ok();
  TxiSweep sweep;
  SweepRequest request{options.tailTime, options.outputGain, options.rank, options.rankByBer,
                       options.statistical};
  if (options.progress)
    request.progress = &progress;
  if (Status swept = sweepTxi(library, channels, timing, request, sweep); !swept.ok())
    return swept;
  report.Sweep(sweep, channels.aggressors.size());
  txi = sweep.bestTxi >= 0 ? sweep.bestTxi : txi;
  return Status::Ok();
}

// The figures of the single run next to those of the channel alone, printed
// once all of them are known.
Status reportFigures(const HostOptions& options, const LinkTiming& timing,
                     const AmiLibrary& library, const ChannelSet& channels, const ModelRun& run,
                     const std::string& parameters, const HostReport& report, RunFigures& figures) {
  const double dt = timing.sampleInterval();
  RunSummary summary{driverTaps(library, timing, options.tailTime, parameters),
                     {},
                     {},
                     channels.aggressors.size(),
                     dt};
  Status analysed = linkEye(channels.channel, channels.aggressors, timing, summary.channelEye);
  if (analysed.ok())
    analysed = analyseRun(run, timing, options.statistical, figures);
  if (!analysed.ok())
    return analysed;
  summary.linkEye = figures.eye;
  report.Summary(summary);
  report.Statistical(figures);
  return Status::Ok();
}

// Everything after the channel is loaded: the sweep if asked, the single run
// at the chosen txi, its figures and files.
Status runModel(const HostOptions& options, const LinkTiming& timing, const AmiLibrary& library,
                const ChannelSet& channels, const HostReport& report, std::ostream& progress) {
  std::int32_t txi = options.txi;
  if (Status swept = sweepIfAsked(options, timing, library, channels, report, progress, txi);
      !swept.ok()) {
    return swept;
  }
  const std::string parameters =
      options.parameters.empty() ? norvaskParameters(txi, options.outputGain) : options.parameters;
  const ModelRun run = runThroughModel(library, channels, timing, options.tailTime, parameters);
  report.ModelCall(parameters, run);
  RunFigures figures;
  Status status = checkModelOutput(run, parameters, timing.sampleInterval());
  if (status.ok() && options.progress)
    progress << "ami_host: computing the worst-case and statistical eyes..." << std::endl;
  if (status.ok())
    status = reportFigures(options, timing, library, channels, run, parameters, report, figures);
  if (status.ok())
    status = writeResponseFiles(options, timing, channels, run, figures.eye, txi, report.notes());
  if (status.ok() && options.statEyeFiles)
    status = writeStatisticalFiles(options, timing, figures, report.notes());
  return status;
}

}  // namespace

int runHost(const HostOptions& options, std::ostream& out, std::ostream& notes) {
  const LinkTiming timing{options.bitRate, options.samplesPerBit};
  const std::string libraryPath = options.libraryPath.empty()
                                      ? defaultLibraryPath(options.programPath.c_str())
                                      : options.libraryPath;
  if (isNorvaskLibrary(options.libraryPath)) {
    if (Status grid = checkNorvaskGrid(timing); !grid.ok())
      return fail(notes, grid);
  }
  AmiLibrary library;
  if (Status loaded = library.Load(libraryPath); !loaded.ok())
    return fail(notes, loaded);
  ChannelSet channels;
  ChannelInfo info;
  if (Status loaded = loadChannels(options, timing, channels, info); !loaded.ok())
    return fail(notes, loaded);
  const HostReport report(options, timing, out, notes);
  report.Channel(info, libraryPath);
  // Progress only for a run long enough to wonder about: about a second.
  HostOptions shown = options;
  double tail = 0.0;
  shown.progress = options.progress && checkTail(options, timing, tail).ok() &&
                   estimateRunCost(options, timing, matrixShape(channels, tail)).cursorSteps >
                       static_cast<double>(kProgressSteps);
  const Status ran =
      namingTheGrid(runModel(shown, timing, library, channels, report, notes), options, timing);
  return ran.ok() ? 0 : fail(notes, ran);
}

int runHostCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& notes,
                   bool progress) {
  HostOptions options;
  options.progress = progress;
  options.programPath = argc > 0 ? argv[0] : "ami_host";
  if (Status parsed = parseHostOptions(argc, argv, options); !parsed.ok())
    return fail(notes, parsed, kBadUsage);
  if (options.help) {
    out << hostUsage();
    return 0;
  }
  try {
    return runHost(options, out, notes);
  } catch (const std::exception& failure) {
    // Only allocation can throw here; say so instead of aborting.
    return fail(notes, Status::Error(std::string("out of resources: ") + failure.what()));
  }
}

}  // namespace norvask::host
