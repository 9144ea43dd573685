#include "host/app/ModelSetup.h"

#include "host/kit/AmiValue.h"

namespace norvask::host {

namespace {

// The txi of a sweep point, or the option's.
std::int32_t pointTxi(const AmiSettings& point, std::int32_t txi) {
  const auto set = point.find("txi");
  return set == point.end() ? txi : static_cast<std::int32_t>(std::stol(set->second));
}

}  // namespace

std::string ModelSetup::Parameters(const AmiSettings& point) const {
  if (!rawParameters.empty())
    return rawParameters;
  if (!fromKit)
    return norvaskParameters(pointTxi(point, txi), outputGain);
  AmiSettings all = point;
  all.insert(settings.begin(), settings.end());  // keeps the point's values
  return buildParameterString(kit.tree, all);
}

std::string ModelSetup::SettingsTitle(const AmiSettings& point) const {
  if (!fromKit && rawParameters.empty())
    return norvaskSettings(pointTxi(point, txi), outputGain);
  return "parameters " + Parameters(point);
}

Status setUpKit(const KitOptions& options, ModelSetup& setup) {
  setup.fromKit = true;
  Status opened = openModelKit({options.ibsFile, options.component, options.model}, setup.kit);
  if (!opened.ok())
    return opened.Within(options.option);
  setup.libraryPath = setup.kit.libraryPath;
  for (const std::string& setting : options.settings) {
    if (Status set = applySetting(setup.kit.tree, setting, setup.settings); !set.ok())
      return set.Within(options.option == "--ibs" ? "--set " + setting : "--rx-set " + setting);
  }
  return Status::Ok();
}

Status setUpModel(const HostOptions& options, ModelSetup& setup) {
  setup.txi = options.txi;
  setup.outputGain = options.outputGain;
  setup.rawParameters = options.parameters;
  setup.libraryPath = options.libraryPath.empty() ? defaultLibraryPath(options.programPath.c_str())
                                                  : options.libraryPath;
  if (options.ibsFile.empty()) {
    if (!options.settings.empty() || options.listParameters)
      return Status::Error(std::string(options.listParameters ? "--list-params" : "--set") +
                           " needs a model kit: give its .ibs file with --ibs");
    return Status::Ok();
  }
  Status set = setUpKit(
      {"--ibs", options.ibsFile, options.component, options.modelName, options.settings}, setup);
  if (set.ok() && !options.libraryPath.empty())
    setup.libraryPath = options.libraryPath;
  return set;
}

Status setUpReceiver(const HostOptions& options, ModelSetup& setup) {
  Status set =
      setUpKit({"--rx-ibs", options.rxIbsFile, "", options.rxModelName, options.rxSettings}, setup);
  if (!set.ok() || returnsImpulse(setup.kit.tree))
    return set;
  return Status::Error("--rx-ibs: model " + setup.kit.model + " (" + setup.kit.amiPath +
                       ") does not declare Init_Returns_Impulse True: its AMI_Init does not "
                       "return the impulse response it equalised, so the eye cannot be taken "
                       "at its output");
}

void listParameters(const ModelKit& kit, std::ostream& out) {
  out << "Model " << kit.model << " of component " << kit.component << " (" << kit.amiPath
      << "), settable parameters:\n";
  for (const AmiParameter* parameter : amiParameters(kit.tree)) {
    if (!parameter->settable())
      continue;
    out << "  " << parameter->name << " (" << typeName(parameter->type) << ", Usage "
        << usageName(parameter->usage) << "): " << allowedValues(*parameter) << "; default "
        << writtenValue(*parameter, parameter->defaultValue) << "\n";
    for (std::size_t i = 0; i < parameter->listTips.size(); ++i)
      out << "      " << writtenValue(*parameter, parameter->values[i]) << ": "
          << parameter->listTips[i] << "\n";
    if (!parameter->description.empty())
      out << "      " << parameter->description << "\n";
  }
}

}  // namespace norvask::host
