#include "host/app/HostRun.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "host/app/HostReport.h"
#include "host/app/ModelSetup.h"
#include "host/app/OptionTable.h"
#include "host/app/RunCost.h"
#include "host/app/RunFiles.h"
#include "host/base/EngineeringFormat.h"
#include "host/channel/ChannelInput.h"
#include "host/kit/SweepAxes.h"

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
  // A receiver pads the transmitter's output by the tail once more.
  const double tails = options.rxIbsFile.empty() ? 1.0 : 2.0;
  if (status.ok())
    status = checkMatrixSize(channels, tails * tail);
  return status.ok() ? checkRunCost(options, timing, matrixShape(channels, tails * tail)) : status;
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

// The models of the link: the transmitter, and the receiver after it when
// --rx-ibs gives one.
struct LinkModels {
  ModelSetup tx;
  AmiLibrary txLibrary;
  bool hasReceiver = false;
  ModelSetup rx;
  AmiLibrary rxLibrary;
};

// The receiver's AMI_Init on the transmitter's returned matrix, every column
// in place; `run` becomes the receiver's output.
Status runReceiver(const LinkModels& models, const LinkTiming& timing, double tailTime,
                   const std::string& name, ModelRun& run, AmiCallResult& receiverCall) {
  ChannelSet transmitted;
  transmitted.channel = run.columns[0];
  transmitted.aggressors.assign(run.columns.begin() + 1, run.columns.end());
  ModelRun received =
      runThroughModel(models.rxLibrary, transmitted, timing, tailTime, models.rx.Parameters({}));
  receiverCall = received.call;
  if (received.call.initResult != 1) {
    return Status::Error("the receiver's AMI_Init failed" + (name.empty() ? "" : " for " + name) +
                         " with the parameters " + models.rx.Parameters({}) +
                         "; the model's message:\n" + received.call.message);
  }
  run.rows = received.rows;
  run.columns = std::move(received.columns);
  return Status::Ok();
}

// The link at one point of the parameters: the transmitter, then the
// receiver if there is one.
Status runLink(const LinkModels& models, const LinkTiming& timing, const ChannelSet& channels,
               double tailTime, const std::string& name, const AmiSettings& point, ModelRun& run) {
  run = runThroughModel(models.txLibrary, channels, timing, tailTime, models.tx.Parameters(point));
  if (run.call.initResult != 1) {
    return Status::Error("AMI_Init failed for " + name + "; the model's message:\n" +
                         run.call.message);
  }
  AmiCallResult receiverCall;
  return models.hasReceiver ? runReceiver(models, timing, tailTime, name, run, receiverCall)
                            : Status::Ok();
}

// The sweep when asked, printed; `point` becomes its best setting.
Status sweepIfAsked(const HostOptions& options, const LinkTiming& timing, const LinkModels& models,
                    const ChannelSet& channels, const HostReport& report, std::ostream& progress,
                    AmiSettings& point) {
  if (!options.sweeping())
    return Status::Ok();
  std::vector<SweepAxis> axes;
  const AmiTree tree = models.tx.fromKit ? models.tx.kit.tree : norvaskBuiltInTree();
  if (Status read = readSweepAxes(tree, options.sweeps, axes); !read.ok())
    return read;
  ParameterSweep sweep;
  SweepRequest request{options.tailTime, options.rank, options.rankByBer, options.statistical};
  if (options.progress)
    request.progress = &progress;
  const auto runPoint = [&](const std::string& name, const AmiSettings& at, ModelRun& run) {
    return runLink(models, timing, channels, options.tailTime, name, at, run);
  };
  if (Status swept = sweepParameters(timing, request, axes, runPoint, sweep); !swept.ok())
    return swept;
  report.Sweep(sweep, channels.aggressors.size());
  if (sweep.best >= 0)
    point = sweep.rows[static_cast<std::size_t>(sweep.best)].point;
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

// The transmitter's run checked, then the receiver's on its output.
Status runSingle(const HostOptions& options, const LinkTiming& timing, const LinkModels& models,
                 const ChannelSet& channels, const HostReport& report, const AmiSettings& point,
                 ModelRun& run) {
  const std::string parameters = models.tx.Parameters(point);
  run = runThroughModel(models.txLibrary, channels, timing, options.tailTime, parameters);
  report.ModelCall(parameters, run);
  Status status = checkModelOutput(run, parameters, timing.sampleInterval());
  if (!status.ok() || !models.hasReceiver)
    return status;
  AmiCallResult receiverCall;
  status = runReceiver(models, timing, options.tailTime, "", run, receiverCall);
  report.ReceiverCall(models.rx.Parameters({}), receiverCall);
  if (const long bad = firstNonFinite(run); status.ok() && bad >= 0) {
    return Status::Error("the receiver returned a non-finite sample (NaN or infinity) at " +
                         seconds(static_cast<double>(bad) * timing.sampleInterval()) +
                         ": eye closed / undefined");
  }
  return status;
}

// Everything after the channel is loaded: the sweep if asked, the single run
// at the chosen point, its figures and files.
Status runModel(const HostOptions& options, const LinkTiming& timing, const LinkModels& models,
                const ChannelSet& channels, const HostReport& report, std::ostream& progress) {
  AmiSettings point;
  if (Status swept = sweepIfAsked(options, timing, models, channels, report, progress, point);
      !swept.ok()) {
    return swept;
  }
  ModelRun run;
  RunFigures figures;
  Status status = runSingle(options, timing, models, channels, report, point, run);
  if (status.ok() && options.progress)
    progress << "ami_host: computing the worst-case and statistical eyes..." << std::endl;
  if (status.ok())
    status = reportFigures(options, timing, models.txLibrary, channels, run,
                           models.tx.Parameters(point), report, figures);
  if (status.ok())
    status = writeResponseFiles(options, timing, channels, run, figures.eye,
                                models.tx.SettingsTitle(point), report.notes());
  if (status.ok() && options.statEyeFiles)
    status = writeStatisticalFiles(options, timing, figures, report.notes());
  return status;
}

// Both kits opened and both libraries loaded; --list-params stops here.
Status loadModels(const HostOptions& options, LinkModels& models) {
  Status status = setUpModel(options, models.tx);
  models.hasReceiver = !options.rxIbsFile.empty();
  if (status.ok() && models.hasReceiver)
    status = setUpReceiver(options, models.rx);
  const bool kitLibrary = models.tx.fromKit && options.libraryPath.empty();
  if (status.ok() && !options.listParameters) {
    const Status loaded = models.txLibrary.Load(models.tx.libraryPath);
    status = kitLibrary ? loaded.Within("--ibs") : loaded;
  }
  if (status.ok() && !options.listParameters && models.hasReceiver)
    status = models.rxLibrary.Load(models.rx.libraryPath).Within("--rx-ibs");
  return status;
}

}  // namespace

int runHost(const HostOptions& options, std::ostream& out, std::ostream& notes) {
  const LinkTiming timing{options.bitRate, options.samplesPerBit};
  LinkModels models;
  if (Status loaded = loadModels(options, models); !loaded.ok())
    return fail(notes, loaded);
  if (options.listParameters) {
    listParameters(models.tx.kit, out);
    if (models.hasReceiver)
      listParameters(models.rx.kit, out);
    return 0;
  }
  if (isNorvaskLibrary(models.tx.libraryPath)) {
    if (Status grid = checkNorvaskGrid(timing); !grid.ok())
      return fail(notes, grid);
  }
  ChannelSet channels;
  ChannelInfo info;
  if (Status loaded = loadChannels(options, timing, channels, info); !loaded.ok())
    return fail(notes, loaded);
  const HostReport report(options, timing, out, notes);
  report.Models(models.tx, models.hasReceiver ? &models.rx : nullptr);
  report.Channel(info, models.tx.libraryPath);
  // Progress only for a run long enough to wonder about: about a second.
  HostOptions shown = options;
  double tail = 0.0;
  shown.progress = options.progress && checkTail(options, timing, tail).ok() &&
                   estimateRunCost(options, timing, matrixShape(channels, tail)).cursorSteps >
                       static_cast<double>(kProgressSteps);
  const Status ran =
      namingTheGrid(runModel(shown, timing, models, channels, report, notes), options, timing);
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
