#include "host/app/NorvaskModel.h"

#include <charconv>

#include "host/base/EngineeringFormat.h"
#include "host/model/ModelLibrary.h"

namespace norvask::host {

namespace {

constexpr const char* kLibraryStem = "norvask";

// The value text of "(txi VALUE)", or "" when the parameters have no txi.
std::string txiValue(const std::string& parameters) {
  const auto start = parameters.find("(txi ");
  if (start == std::string::npos)
    return "";
  const auto first = parameters.find_first_not_of(' ', start + 5);
  const auto end = parameters.find(')', start);
  if (first == std::string::npos || end == std::string::npos || end < first)
    return "";
  return parameters.substr(first, parameters.find_last_not_of(' ', end - 1) - first + 1);
}

}  // namespace

std::string txiRangeText() {
  return "0 to " + std::to_string(kTxiSettings - 1);
}

std::string norvaskParameters(std::int32_t txi, double outputGain) {
  // Shortest text that reads back as the same double: 0.8 stays "0.8".
  char gain[32];
  const auto written = std::to_chars(gain, gain + sizeof gain, outputGain);
  return "(Norvask (OutputGain " + std::string(gain, written.ptr) + ")(txi " + std::to_string(txi) +
         "))";
}

AmiTree norvaskBuiltInTree() {
  AmiEntry txi;
  txi.name = "txi";
  txi.parameter.name = "txi";
  txi.parameter.usage = AmiUsage::kIn;
  txi.parameter.type = AmiType::kInteger;
  txi.parameter.format = AmiFormat::kRange;
  txi.parameter.values = {"1", "0", std::to_string(kTxiSettings - 1)};
  txi.parameter.defaultValue = "1";
  txi.parameter.hasDefault = true;
  AmiTree tree;
  tree.root = "Norvask";
  tree.entries.push_back(txi);
  return tree;
}

std::string norvaskSettings(std::int32_t txi, double outputGain) {
  return "txi " + std::to_string(txi) + ", OutputGain " + plain(outputGain);
}

std::string refusalReason(const std::string& parameters, const std::string& message) {
  if (message.find("StepRespIndex") == std::string::npos)
    return "see the model's message";
  const std::string value = txiValue(parameters);
  if (value.empty())
    return "the driver setting txi must be an integer from " + txiRangeText();
  return "txi " + value + " is outside " + txiRangeText();
}

std::string defaultLibraryPath(const char* programPath) {
  return besideProgramFolder(programPath, sharedLibraryFileName(kLibraryStem));
}

std::string defaultLibraryText() {
  return "libnorvask.so / norvask.dll of this build,\none folder above this program";
}

}  // namespace norvask::host
