// Parsing argv and rendering --help, both from the option table.
#include <algorithm>

#include "host/app/OptionTable.h"

namespace norvask::host {

namespace {

// Help lines: the option in the first 24 columns, its text after them.
constexpr std::size_t kTextColumn = 24;
constexpr std::size_t kLineWidth = 80;

const OptionSpec* findOption(const std::string& name) {
  const auto& table = hostOptionTable();
  const auto spec = std::find_if(table.begin(), table.end(), [&name](const OptionSpec& s) {
    return name == s.name || (s.alias != nullptr && name == s.alias);
  });
  return spec == table.end() ? nullptr : &*spec;
}

Status checkCombination(const HostOptions& options) {
  const bool gainOrTxi = options.given.count("--txi") > 0 || options.given.count("--gain") > 0;
  if (!options.parameters.empty() && (gainOrTxi || options.sweeping())) {
    return Status::Error(
        "--params replaces --txi and --gain and cannot be combined with them or with "
        "--sweep-txi");
  }
  if (!options.ibsFile.empty() && gainOrTxi)
    return Status::Error(
        "--txi and --gain set the built-in model; with --ibs use --set NAME=VALUE");
  return Status::Ok();
}

std::string optionColumn(const OptionSpec& spec) {
  std::string column = "  " + std::string(spec.name);
  if (spec.alias != nullptr)
    column += ", " + std::string(spec.alias);
  if (spec.valueName != nullptr)
    column += " " + std::string(spec.valueName);
  column.resize(std::max(column.size() + 2, kTextColumn), ' ');
  return column;
}

// The help text with the default after it, on the last line if it fits.
std::string optionText(const OptionSpec& spec, const HostOptions& defaults) {
  std::string text = spec.help;
  if (spec.defaultText == nullptr)
    return text;
  const std::string shown = "(default " + spec.defaultText(defaults) + ")";
  const auto lastLine = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
  const bool fits = kTextColumn + text.size() - lastLine + 1 + shown.size() <= kLineWidth &&
                    shown.find('\n') == std::string::npos;
  return text + (fits ? " " : "\n") + shown;
}

std::string indented(const std::string& text) {
  std::string result;
  for (char c : text)
    result += c == '\n' ? "\n" + std::string(kTextColumn, ' ') : std::string(1, c);
  return result;
}

}  // namespace

Status parseHostOptions(int argc, const char* const* argv, HostOptions& options) {
  for (int next = 1; next < argc; ++next) {
    const std::string name = argv[next];
    const OptionSpec* spec = findOption(name);
    if (spec == nullptr)
      return Status::Error("unknown option '" + name + "' (see --help)");
    if (spec->valueName != nullptr && next + 1 >= argc)
      return Status::Error(name + " needs a value");
    const std::string value = spec->valueName != nullptr ? argv[++next] : "";
    if (Status set = spec->set(options, value); !set.ok())
      return set.Within(name);
    options.given.insert(spec->name);
  }
  return checkCombination(options);
}

std::string hostUsage() {
  std::string usage = R"(Usage: ami_host [options]

Loads an IBIS-AMI model library, passes a channel impulse response through
AMI_Init the way a channel simulator does, and reports what the model does to
it: the model's message, its taps, the main cursor, the worst-case eye height
and eye opening ratio (peak distortion, 1 V peak-to-peak data), CSV files of
the impulse and pulse responses and an SVG plot of the pulse responses.
)";
  const HostOptions defaults;
  std::string group;
  for (const OptionSpec& spec : hostOptionTable()) {
    if (spec.group != group) {
      group = spec.group;
      usage += "\n" + group + "\n";
    }
    usage += optionColumn(spec) + indented(optionText(spec, defaults)) + "\n";
  }
  return usage +
         "\nExit status: 0 when the run completed, 1 when it failed (the message on standard\n"
         "error says why), 2 for a command line it cannot read.\n";
}

}  // namespace norvask::host
