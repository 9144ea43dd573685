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
  std::int64_t phaseRows = 0;  // statistical-eye rows: phases plus the jitter's reach
  std::int64_t cursors = 0;    // cursors per phase: pulse length in bits
  std::int64_t runs = 1;       // model runs analysed: the sweep's and the single one
  // The statistical eye's work: (phaseRows + one phase per aggressor, or
  // every phase when averaged) x cursors x runs.
  double cursorSteps = 0.0;
  double leastBerValues = 0.0;  // phaseRows x the fewest thresholds a grid can have
};

// The size of the model's matrix: its rows (the longest response and the
// tail) and the number of aggressor columns.
struct MatrixShape {
  std::int64_t rows = 0;
  std::int64_t aggressors = 0;
};

RunCost estimateRunCost(const HostOptions& options, const LinkTiming& timing,
                        const MatrixShape& matrix);

// Refuses a run over the budget of base/Limits.h, naming the option that
// takes it over: the sweep, the jitter, the samples per bit, or the channel's
// length.
Status checkRunCost(const HostOptions& options, const LinkTiming& timing,
                    const MatrixShape& matrix);

// The statistical eye's own refusal of a grid too large for the budget,
// which only the model's output reveals (its voltage span), with the options
// that set the number of sampling phases in front; any other status as it is.
Status namingTheGrid(const Status& status, const HostOptions& options, const LinkTiming& timing);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_RUNCOST_H_
