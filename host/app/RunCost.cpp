#include "host/app/RunCost.h"

#include <algorithm>
#include <string>

#include "host/analysis/JitterTaps.h"
#include "host/app/NorvaskModel.h"
#include "host/base/EngineeringFormat.h"
#include "host/base/Limits.h"

namespace norvask::host {

namespace {

// The statistical eye's settings as the run gives them to it.
StatisticalEyeSettings runSettings(const HostOptions& options, const LinkTiming& timing) {
  StatisticalEyeSettings settings = options.statistical.settings;
  settings.samplesPerBit = timing.SamplesPerBit;
  settings.berFloor = berFloorFor(options.statistical.targetBer);
  return settings;
}

bool overBudget(const RunCost& cost) {
  return cost.cursorSteps > static_cast<double>(kMaxCursorSteps) ||
         cost.leastBerValues > static_cast<double>(kMaxBerMapValues);
}

std::string given(const HostOptions& options, const char* name, const std::string& value) {
  return options.given.count(name) > 0 ? std::string(name) + " " + value : "";
}

// The option that takes the run over the budget: the first one without
// which it would fit, in the order sweep, jitter, averaged crosstalk, samples
// per bit.
std::string culprit(const HostOptions& options, const LinkTiming& timing,
                    const MatrixShape& matrix) {
  HostOptions lighter = options;
  if (options.sweeping()) {
    lighter.sweeps.clear();
    if (!overBudget(estimateRunCost(lighter, timing, matrix)))
      return "--sweep-txi";
  }
  StatisticalEyeSettings& jitter = lighter.statistical.settings;
  if (jitter.randomJitterRms > 0.0 || jitter.deterministicJitter > 0.0) {
    jitter.randomJitterRms = jitter.deterministicJitter = 0.0;
    if (!overBudget(estimateRunCost(lighter, timing, matrix))) {
      const std::string rj =
          given(options, "--rj", plain(options.statistical.settings.randomJitterRms));
      const std::string dj =
          given(options, "--dj", plain(options.statistical.settings.deterministicJitter));
      return rj.empty() ? dj : dj.empty() ? rj : rj + " with " + dj;
    }
  }
  CrosstalkPhase& phase = lighter.statistical.settings.crosstalkPhase;
  if (phase == CrosstalkPhase::kAveraged) {
    phase = CrosstalkPhase::kWorstCase;
    if (!overBudget(estimateRunCost(lighter, timing, matrix)))
      return "--xtalk-phase average with " + std::to_string(matrix.aggressors) + " aggressor(s)";
  }
  return "--samples-per-bit " + std::to_string(timing.SamplesPerBit) +
         (options.channelFile.empty() ? " with --channel-ui " + plain(options.channelLengthBits)
                                      : " with the --channel file's length");
}

}  // namespace

RunCost estimateRunCost(const HostOptions& options, const LinkTiming& timing,
                        const MatrixShape& matrix) {
  const std::int64_t s = timing.SamplesPerBit;
  RunCost cost;
  cost.phaseRows = s + 2 * jitterReach(runSettings(options, timing));
  // The pulse response is one bit longer than the matrix column.
  cost.cursors = (matrix.rows + s + s - 1) / s;
  cost.runs = options.sweeping() ? kTxiSettings + 1 : 1;
  const bool averaged = options.statistical.settings.crosstalkPhase == CrosstalkPhase::kAveraged;
  const double aggressorPhases = static_cast<double>(matrix.aggressors) * (averaged ? s : 1);
  cost.cursorSteps = (static_cast<double>(cost.phaseRows) + aggressorPhases) *
                     static_cast<double>(cost.cursors) * static_cast<double>(cost.runs);
  // The grid spans at least the main cursor either way, in bins of a
  // fraction of it: never fewer thresholds than 2 / fraction.
  const double leastThresholds = 2.0 / options.statistical.settings.binFraction + 2.0;
  cost.leastBerValues = static_cast<double>(cost.phaseRows) * leastThresholds;
  return cost;
}

Status checkRunCost(const HostOptions& options, const LinkTiming& timing,
                    const MatrixShape& matrix) {
  const RunCost cost = estimateRunCost(options, timing, matrix);
  if (!overBudget(cost))
    return Status::Ok();
  return Status::Error(culprit(options, timing, matrix) + ": the statistical eye would take " +
                       count(static_cast<double>(cost.phaseRows)) + " sampling phases x " +
                       count(static_cast<double>(cost.cursors)) + " cursors x " +
                       count(static_cast<double>(cost.runs)) +
                       " run(s) = " + count(cost.cursorSteps) + " steps and at least " +
                       count(cost.leastBerValues) + " BER values; the limits are " +
                       count(static_cast<double>(kMaxCursorSteps)) + " steps (about 10 s) and " +
                       count(static_cast<double>(kMaxBerMapValues)) + " values");
}

Status namingTheGrid(const Status& status, const HostOptions& options, const LinkTiming& timing) {
  const std::string& message = status.message();
  const bool gridRefused = message.find("statistical eye: ") != std::string::npos &&
                           message.find(" exceed") != std::string::npos;
  if (status.ok() || !gridRefused)
    return status;
  std::string names = "--samples-per-bit " + std::to_string(timing.SamplesPerBit);
  for (const char* jitter : {"--rj", "--dj"}) {
    if (options.given.count(jitter) > 0)
      names += std::string(" with ") + jitter;
  }
  return Status::Error(names + ": " + message +
                       " (the channel's and the aggressors' voltage span sets the thresholds)");
}

}  // namespace norvask::host
