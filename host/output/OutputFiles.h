// Writing the run's files: each is named in full in the report and in any
// error, so the user finds it whatever folder the run started in.
#ifndef NORVASK_HOST_OUTPUT_OUTPUTFILES_H_
#define NORVASK_HOST_OUTPUT_OUTPUTFILES_H_

#include <functional>
#include <ostream>
#include <string>

#include "host/base/Status.h"

namespace norvask::host {

// `path` made absolute and normal; `path` itself when that fails.
std::string fullPath(const std::string& path);

// Creates `path` and lets `write` fill it. Fails with "cannot write the
// <what> to <full path>".
Status writeFile(const std::string& path, const std::string& what,
                 const std::function<void(std::ostream&)>& write);

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_OUTPUTFILES_H_
