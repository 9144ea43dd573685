// The command line of ami_host, declared once: every option is one row that
// says how it reads, where --help lists it, what it sets and what its default
// is, taken from a default-built HostOptions. The same rows render --help,
// parse argv and record which options were given.
//
// Parsing checks every value as it reads it, so a typing error ends the run
// with one line naming the option instead of a simulation on a wrong setting.
#ifndef NORVASK_HOST_APP_OPTIONTABLE_H_
#define NORVASK_HOST_APP_OPTIONTABLE_H_

#include <string>
#include <vector>

#include "host/app/HostOptions.h"
#include "host/base/Status.h"

namespace norvask::host {

struct OptionSpec {
  const char* name;       // "--bit-rate"
  const char* alias;      // another name ("-h"), or nullptr
  const char* valueName;  // "BPS", or nullptr for an option without a value
  const char* group;      // the --help section
  std::string help;       // lines separated by '\n'
  // Reads `value` (empty for an option without one) into the options; a
  // failure says what was expected, without the option's name.
  Status (*set)(HostOptions& options, const std::string& value);
  // The default as --help shows it, or nullptr when there is none to show.
  std::string (*defaultText)(const HostOptions& defaults);
};

// Every option, in --help order.
const std::vector<OptionSpec>& hostOptionTable();

// Parses argv[1..] into `options`, recording each option's name in
// options.given. A failure is one line naming the option.
Status parseHostOptions(int argc, const char* const* argv, HostOptions& options);

// The --help text: every option with its default.
std::string hostUsage();

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_OPTIONTABLE_H_
