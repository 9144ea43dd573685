// What a run will cost, worked out from its settings and the loaded channel
// before the model runs or anything large is allocated, and refused in the
// terms of the option that makes it too large.
#ifndef NORVASK_HOST_APP_RUNCOST_H_
#define NORVASK_HOST_APP_RUNCOST_H_

#include <cstdint>

#include "host/app/HostOptions.h"
#include "host/base/LinkTiming.h"
#include "host/base/Status.h"

namespace norvask::host {

struct RunCost {
  std::int64_t phaseRows = 0;   // statistical-eye rows: phases plus the jitter's reach
  std::int64_t cursors = 0;     // cursors per phase: pulse length in bits
  std::int64_t runs = 1;        // model runs analysed: the sweep's and the single one
  double cursorSteps = 0.0;     // phaseRows x cursors x runs, the statistical eye's work
  double leastBerValues = 0.0;  // phaseRows x the fewest thresholds a grid can have
};

// `matrixRows` is the length of the model's matrix, responses and tail.
RunCost estimateRunCost(const HostOptions& options, const LinkTiming& timing,
                        std::int64_t matrixRows);

// Refuses a run over the budget of base/Limits.h, naming the option that
// takes it over: the sweep, the jitter, the samples per bit, or the channel's
// length.
Status checkRunCost(const HostOptions& options, const LinkTiming& timing, std::int64_t matrixRows);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_RUNCOST_H_
