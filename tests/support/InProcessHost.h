// ami_host run in the test's own process, as main runs it: the arguments
// after the program's name, and what the run wrote to each stream.
#ifndef NORVASK_TESTS_SUPPORT_INPROCESSHOST_H_
#define NORVASK_TESTS_SUPPORT_INPROCESSHOST_H_

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/app/HostRun.h"
#include "support/ScratchFiles.h"

namespace norvask::testing {

inline HostOutcome runInProcess(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "ami_host");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  std::ostringstream out, err;
  const int code = host::runHostCommand(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

// The run on the model library of this build unless the arguments name one.
inline HostOutcome runOnBuiltModel(std::vector<std::string> arguments) {
  if (std::find(arguments.begin(), arguments.end(), "--library") == arguments.end())
    arguments.insert(arguments.begin(), {"--library", NORVASK_LIBRARY_PATH});
  return runInProcess(std::move(arguments));
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_INPROCESSHOST_H_
