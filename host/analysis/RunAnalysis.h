// The figures of one model run, computed once for the single run and for
// every sweep point alike: the worst-case eye of the filtered channel column
// with the other columns as aggressors, and the statistical eye of the same
// columns as pulse responses of one bit of the analysis' logic level.
#ifndef NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
#define NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_

#include "host/analysis/EyeMetrics.h"
#include "host/analysis/StatisticalEye.h"
#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/model/ModelRun.h"

namespace norvask::host {

// What the host asks of the statistical eye.
struct StatisticalRequest {
  StatisticalEyeSettings settings;  // samplesPerBit and amplitude are set from the link
  double targetBer = 1e-12;
};

struct RunFigures {
  EyeMetrics eye;  // worst case, aggressors included
  StatisticalEye statistical;
  EyeAtBer atBer;  // statistical at request.targetBer
};

// Fails with "eye analysis: ..." or "statistical eye: ...".
// REQUIRES: run.columns not empty.
Status analyseRun(const ModelRun& run, const LinkTiming& timing, const StatisticalRequest& request,
                  RunFigures& figures);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
