// The statistical eye of a model run: the filtered channel column as the
// victim, every other column as an aggressor, each turned into the pulse
// response of one bit of the eye analysis' logic level.
#ifndef NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
#define NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_

#include <string>

#include "host/model/ModelRun.h"
#include "host/analysis/StatisticalEye.h"

namespace norvask::host {

// What the host asks of the statistical eye.
struct StatisticalRequest {
  StatisticalEyeSettings settings;  // samplesPerBit and amplitude are set from the link
  double targetBer = 1e-12;
  bool rankSweep = false;  // rank the txi sweep by eye height at targetBer
};

// REQUIRES: run.columns not empty.
bool statisticalEyeOfRun(const ModelRun& run, const LinkTiming& timing,
                         const StatisticalRequest& request, StatisticalEye& eye,
                         std::string& error);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
