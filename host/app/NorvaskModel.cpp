#include "host/app/NorvaskModel.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

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

std::int32_t leastSamplesPerBit(double bitRate) {
  const double least = std::ceil(1.0 / (bitRate * kMaxSampleInterval));
  return least > kMinSamplesPerBit ? static_cast<std::int32_t>(std::min(least, 2147483647.0))
                                   : kMinSamplesPerBit;
}

Status checkNorvaskGrid(const LinkTiming& timing) {
  const double dt = timing.sampleInterval();
  if (!(dt > kMaxSampleInterval))
    return Status::Ok();
  return Status::Error("--bit-rate and --samples-per-bit: the sample interval " + seconds(dt) +
                       " (" + bitRate(timing.BitRate) + ", " +
                       std::to_string(timing.SamplesPerBit) +
                       " samples per bit) is longer than the " + seconds(kMaxSampleInterval) +
                       " the Norvask model takes (half of its " + seconds(kStepResponseSpan) +
                       " step responses): at this bit rate use at least " +
                       std::to_string(leastSamplesPerBit(timing.BitRate)) +
                       " samples per bit, or at these samples per bit a bit rate of at least " +
                       bitRate(1.0 / (timing.SamplesPerBit * kMaxSampleInterval)));
}

bool isNorvaskLibrary(const std::string& libraryPath) {
  const std::string name = libraryPath.substr(libraryPath.find_last_of("/\\") + 1);
  std::string lower;
  for (char c : name)
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return libraryPath.empty() || lower.find(kLibraryStem) != std::string::npos;
}

std::string defaultLibraryPath(const char* programPath) {
  return besideProgramFolder(programPath, sharedLibraryFileName(kLibraryStem));
}

std::string defaultLibraryText() {
  return "libnorvask.so / norvask.dll of this build,\none folder above this program";
}

}  // namespace norvask::host
