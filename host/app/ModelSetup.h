// Which library a run loads and the parameter string it passes: from a model
// kit (--ibs, with --set values checked against its .ami tree), or, without
// one, the library of this build with the string the host builds for Norvask
// (--txi, --gain) or the raw --params text. A sweep asks for the string of
// each of its points.
#ifndef NORVASK_HOST_APP_MODELSETUP_H_
#define NORVASK_HOST_APP_MODELSETUP_H_

#include <ostream>
#include <string>
#include <vector>

#include "host/app/HostOptions.h"
#include "host/base/Status.h"
#include "host/kit/ModelKit.h"
#include "host/kit/ParameterString.h"

namespace norvask::host {

struct ModelSetup {
  std::string libraryPath;
  bool fromKit = false;
  ModelKit kit;               // when fromKit
  AmiSettings settings;       // the --set values
  std::string rawParameters;  // --params
  std::int32_t txi = 1;
  double outputGain = 1.0;

  // The parameter string with `point` set on top of the --set values.
  std::string Parameters(const AmiSettings& point) const;
  // The settings as the plot titles name them: "txi 4, OutputGain 1", or
  // "parameters (...)".
  std::string SettingsTitle(const AmiSettings& point) const;
};

// One side of the link as the options describe it: the kit's file, model
// and --set values.
struct KitOptions {
  std::string option;  // "--ibs" or "--rx-ibs", for the messages
  std::string ibsFile;
  std::string component;
  std::string model;
  std::vector<std::string> settings;
};

// Opens the kit if one is given and checks every --set value. Failures name
// the option.
Status setUpModel(const HostOptions& options, ModelSetup& setup);

// Opens a kit and checks its settings: the receiver's side.
Status setUpKit(const KitOptions& options, ModelSetup& setup);

// The receiver of --rx-ibs, --rx-model and --rx-set, refused unless it
// declares Init_Returns_Impulse True: its AMI_Init must return the impulse
// response it equalised, or the eye cannot be taken at its output.
Status setUpReceiver(const HostOptions& options, ModelSetup& setup);

// The settable parameters of a kit, one block each: name, usage, type,
// allowed values, default, list tips and description.
void listParameters(const ModelKit& kit, std::ostream& out);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_MODELSETUP_H_
