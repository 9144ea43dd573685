// The figures of one model run, computed once for the single run and for
// every sweep point alike: the worst-case eye of the filtered channel column
// with the other columns as aggressors, and the statistical eye of the same
// columns as pulse responses of one bit of the analysis' logic level.
#ifndef NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
#define NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_

#include <cstdint>
#include <vector>

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
  // The statistical eye centre (the main cursor's phase when the eye is
  // closed at the BER), as a phase and as a sample of the pulse response,
  // and the worst-case (peak-distortion) eye height there, aggressors
  // included.
  std::int32_t centrePhase = 0;
  std::int64_t centre = 0;
  double worstCaseAtCentre = 0.0;
};

// The impulse response the right way up: negated when the largest sample of
// its pulse response is negative, so that an inverting link is measured as
// a receiver wired for it decides, and gives the eye of the same link not
// inverted. `inverted` says whether it was negated.
std::vector<double> upright(const std::vector<double>& impulse, const LinkTiming& timing,
                            bool& inverted);

// The worst-case eye of `victim` upright, with the aggressors; the main
// cursor keeps its true sign and eye.inverted says whether it is negative.
Status linkEye(const std::vector<double>& victim,
               const std::vector<std::vector<double>>& aggressors, const LinkTiming& timing,
               EyeMetrics& eye);

// Every figure is of the victim column upright (see upright()); figures.eye
// says whether the link inverts. Fails with "eye analysis: ...",
// "statistical eye: ..." or, for a victim column of zeros, that there is no
// eye.
// REQUIRES: run.columns not empty.
Status analyseRun(const ModelRun& run, const LinkTiming& timing, const StatisticalRequest& request,
                  RunFigures& figures);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_RUNANALYSIS_H_
