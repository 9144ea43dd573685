// What a run prints: the channel and link, the sweep table, the model's
// answer, the worst-case and statistical figures, and the files written.
// Tables and figures go to `out`, as text or, with --csv, as CSV; the notes
// around them go to `out` in a text run and to `notes` next to CSV, so a CSV
// run's standard output stays parseable.
#ifndef NORVASK_HOST_APP_HOSTREPORT_H_
#define NORVASK_HOST_APP_HOSTREPORT_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "host/analysis/RunAnalysis.h"
#include "host/app/HostOptions.h"
#include "host/app/ModelSetup.h"
#include "host/app/ParameterSweep.h"
#include "host/channel/ChannelFigures.h"
#include "host/model/ModelRun.h"

namespace norvask::host {

// The worst-case figures of the single run.
struct RunSummary {
  std::vector<double> taps;  // the driver's impulse response
  EyeMetrics channelEye;     // the channel alone
  EyeMetrics linkEye;        // channel and model
  std::size_t aggressors = 0;
  double sampleInterval = 0.0;
};

class HostReport {
 public:
  HostReport(const HostOptions& options, const LinkTiming& timing, std::ostream& out,
             std::ostream& notes)
      : options_(options), timing_(timing), out_(out), notes_(options.csv ? notes : out) {}

  std::ostream& notes() const { return notes_; }

  void Channel(const ChannelInfo& info, const std::string& libraryPath) const;
  // The models of a run from kits, named; nothing for a library alone.
  void Models(const ModelSetup& tx, const ModelSetup* rx) const;
  void Sweep(const ParameterSweep& sweep, std::size_t aggressors) const;
  void ModelCall(const std::string& parameters, const ModelRun& run) const;
  void ReceiverCall(const std::string& parameters, const AmiCallResult& call) const;
  void Summary(const RunSummary& summary) const;
  void Statistical(const RunFigures& figures) const;

 private:
  void SweepCsv(const ParameterSweep& sweep) const;
  void SweepText(const ParameterSweep& sweep) const;
  std::string SweepCriterion() const;
  void PolarityNote(bool channelInverts, bool linkInverts) const;

  const HostOptions& options_;
  const LinkTiming& timing_;
  std::ostream& out_;
  std::ostream& notes_;
  // The polarity note last printed, so that it is not repeated.
  mutable const char* polarityNoteSaid_ = nullptr;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_HOSTREPORT_H_
