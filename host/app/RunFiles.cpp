#include "host/app/RunFiles.h"

#include <string>
#include <vector>

#include "host/analysis/PulseResponse.h"
#include "host/base/EngineeringFormat.h"
#include "host/output/BathtubPlot.h"
#include "host/output/BerContourPlot.h"
#include "host/output/OutputFiles.h"
#include "host/output/PulsePlot.h"
#include "host/output/SeriesCsv.h"
#include "host/output/StatisticalEyeCsv.h"

namespace norvask::host {

namespace {

// One file of the run: its name after the prefix, what it holds, its writer.
struct RunFile {
  const char* suffix;
  const char* what;
  std::function<void(std::ostream&)> write;
};

// A prefix naming a folder puts the files inside it under the default name.
Status runPrefix(const HostOptions& options, std::string& prefix) {
  return outputPrefix(options.outputPrefix, kDefaultOutputName, prefix).Within("--out");
}

Status writeAll(const std::string& prefix, const std::vector<RunFile>& files) {
  for (const RunFile& file : files) {
    if (Status written = writeFile(prefix + file.suffix, file.what, file.write); !written.ok())
      return written;
  }
  return Status::Ok();
}

}  // namespace

Status writeResponseFiles(const HostOptions& options, const LinkTiming& timing,
                          const ChannelSet& channels, const ModelRun& run,
                          const EyeMetrics& linkEye, const std::string& settingsTitle,
                          std::ostream& notes) {
  const double dt = timing.sampleInterval();
  std::vector<NamedSeries> impulses{{"channel_per_s", channels.channel},
                                    {"channel_plus_model_per_s", run.columns[0]}};
  for (std::size_t a = 1; a < run.columns.size(); ++a)
    impulses.push_back({"aggressor_" + std::to_string(a) + "_plus_model_per_s", run.columns[a]});
  const std::vector<NamedSeries> pulses{
      {"channel_V", pulseResponse(channels.channel, dt, timing.SamplesPerBit)},
      {"channel_plus_model_V", pulseResponse(run.columns[0], dt, timing.SamplesPerBit)}};
  PulsePlot plot;
  plot.title = "Pulse response of a 1 V bit at " + bitRate(timing.BitRate) + ", " + settingsTitle +
               ": channel alone and channel + model";
  plot.sampleInterval = dt;
  plot.samplesPerBit = timing.SamplesPerBit;
  plot.series = {{"channel alone", pulses[0].values}, {"channel + model", pulses[1].values}};
  plot.mainCursorIndex = linkEye.mainCursorIndex;

  std::string prefix;
  Status written = runPrefix(options, prefix);
  if (written.ok())
    written =
        writeAll(prefix, {{"_impulse.csv", "impulse responses",
                           [&](std::ostream& out) { writeSeriesCsv(out, dt, impulses); }},
                          {"_pulse.csv", "pulse responses",
                           [&](std::ostream& out) { writeSeriesCsv(out, dt, pulses); }},
                          {"_pulse.svg", "plot", [&](std::ostream& out) { plot.Write(out); }}});
  if (written.ok()) {
    notes << "\nWrote " << fullPath(prefix + "_impulse.csv") << "\n      "
          << fullPath(prefix + "_pulse.csv") << "\n      " << fullPath(prefix + "_pulse.svg")
          << '\n';
  }
  return written;
}

Status writeStatisticalFiles(const HostOptions& options, const LinkTiming& timing,
                             const RunFigures& figures, std::ostream& notes) {
  const StatisticalEye& eye = figures.statistical;
  const EyeAtBer& at = figures.atBer;
  const std::string rate = bitRate(timing.BitRate);
  const double ui = timing.bitTime();
  const EyeFigure figure{&eye, ui, options.statistical.targetBer, at};
  const BerContourPlot contours{{figure},
                                "Statistical eye at " + rate + ": BER, eye " +
                                    (at.open ? "at " : "closed at ") + plain(figure.targetBer) +
                                    (at.open ? " marked" : "")};
  const BathtubPlot bathtub{{figure}, "Bathtub at " + rate + " at the eye's best threshold"};
  const std::vector<RunFile> files{
      {"_eye.svg", "eye plot", [&](std::ostream& out) { contours.Write(out); }},
      {"_eye.csv", "eye table", [&](std::ostream& out) { writeStatisticalEyeCsv(out, eye, ui); }},
      {"_bathtub.svg", "bathtub plot", [&](std::ostream& out) { bathtub.Write(out); }},
      {"_bathtub.csv", "bathtub table",
       [&](std::ostream& out) { writeBathtubCsv(out, eye, at, ui); }}};
  std::string prefix;
  Status written = runPrefix(options, prefix);
  if (written.ok())
    written = writeAll(prefix, files);
  if (written.ok()) {
    for (const RunFile& file : files)
      notes << "      " << fullPath(prefix + file.suffix) << '\n';
  }
  return written;
}

}  // namespace norvask::host
