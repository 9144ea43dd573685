#include "host/app/NorvaskModel.h"

namespace norvask::host {

namespace {

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

std::string refusalReason(const std::string& parameters, const std::string& message) {
  if (message.find("StepRespIndex") == std::string::npos)
    return "see the model's message";
  const std::string value = txiValue(parameters);
  if (value.empty())
    return "the driver setting txi must be an integer from 0 to 15";
  return "txi " + value + " is outside 0 to 15";
}

}  // namespace norvask::host
