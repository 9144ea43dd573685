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

// Where a run's files go from what the user named: a folder (`named` ends in
// '/' or is one already) gets files starting `defaultName` inside it, created
// with every missing level first (as mkdir -p); anything else is the start of
// every file's name. Fails with "cannot create the folder <full path>".
Status outputPrefix(const std::string& named, const std::string& defaultName, std::string& prefix);

// Lets `write` fill `path`: into `path`.part, renamed to `path` once every
// byte is written. Fails with "cannot write the <what> to <full path>",
// leaving neither the temporary nor a partial `path`.
Status writeFile(const std::string& path, const std::string& what,
                 const std::function<void(std::ostream&)>& write);

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_OUTPUTFILES_H_
