// One whole ami_host run, from the command line to the last file, with its
// output streams given: main passes the standard ones, tests string streams.
#ifndef NORVASK_HOST_APP_HOSTRUN_H_
#define NORVASK_HOST_APP_HOSTRUN_H_

#include <ostream>

#include "host/app/HostOptions.h"

namespace norvask::host {

// Exit codes besides 0.
inline constexpr int kRunFailed = 1;
inline constexpr int kBadUsage = 2;

// Loads the library and the channel, runs the model (and the sweep), and
// reports. Tables go to `out`; the notes to `out` as well in a text run and
// to `notes` in a --csv run; an error ends the run with one message on
// `notes`, "ami_host: error: " and its later lines indented. Returns the
// exit code.
int runHost(const HostOptions& options, std::ostream& out, std::ostream& notes);

// Parses argv and runs: --help prints the usage, a bad command line exits
// with kBadUsage, and a failed allocation is reported instead of aborting.
// With `progress`, a run long enough to wonder about says on `notes` how far
// it has got (main passes whether standard error is a terminal).
int runHostCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& notes,
                   bool progress = false);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_HOSTRUN_H_
