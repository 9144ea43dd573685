// The files a run writes next to its report: the impulse and pulse responses
// as CSV with a plot of the pulses, and on request the statistical eye and
// its bathtub as pictures and tables. Each file written is named in full in
// the notes.
#ifndef NORVASK_HOST_APP_RUNFILES_H_
#define NORVASK_HOST_APP_RUNFILES_H_

#include <cstdint>
#include <ostream>

#include "host/analysis/RunAnalysis.h"
#include "host/app/HostOptions.h"
#include "host/base/Status.h"
#include "host/model/ModelRun.h"

namespace norvask::host {

Status writeResponseFiles(const HostOptions& options, const LinkTiming& timing,
                          const ChannelSet& channels, const ModelRun& run,
                          const EyeMetrics& linkEye, const std::string& settingsTitle,
                          std::ostream& notes);

Status writeStatisticalFiles(const HostOptions& options, const LinkTiming& timing,
                             const RunFigures& figures, std::ostream& notes);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_RUNFILES_H_
