#include "host/kit/AmiValue.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "host/base/NumberText.h"

namespace norvask::host {

namespace {

// Grid points closer than this share of a step count as on the grid: the
// values come from decimal text.
constexpr double kGridTolerance = 1e-9;

bool isNumeric(AmiType type) {
  return type == AmiType::kFloat || type == AmiType::kInteger || type == AmiType::kUi ||
         type == AmiType::kTap;
}

bool readBoolean(const std::string& text, bool& value) {
  if (text != "True" && text != "False")
    return false;
  value = text == "True";
  return true;
}

double number(const std::string& text) {
  double value = 0.0;
  readFinite(text, value);
  return value;
}

// Whether `value` lies on min + k * step for a whole k from 0 to `count`.
bool onGrid(double value, double min, double step, double count) {
  const double k = (value - min) / step;
  return k > -kGridTolerance && k < count + kGridTolerance &&
         std::fabs(k - std::round(k)) < kGridTolerance;
}

bool sameValue(const AmiParameter& parameter, const std::string& a, const std::string& b) {
  if (isNumeric(parameter.type))
    return number(a) == number(b);
  return a == b;
}

bool onList(const AmiParameter& parameter, const std::string& text) {
  for (const std::string& value : parameter.values) {
    if (sameValue(parameter, value, text))
      return true;
  }
  return false;
}

std::string joined(const AmiParameter& parameter) {
  std::string text;
  for (const std::string& value : parameter.values)
    text += (text.empty() ? "" : ", ") + writtenValue(parameter, value);
  return text;
}

std::string writtenInteger(const std::string& text) {
  long long value = 0;
  readInteger(text, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max(),
              value);
  return std::to_string(value);
}

std::string writtenNumber(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

// Why the value is refused, in the parameter's own terms.
std::string refusal(const AmiParameter& parameter) {
  switch (parameter.format) {
    case AmiFormat::kValue:
      return "is not the fixed value";
    case AmiFormat::kRange:
      return "is outside the range";
    case AmiFormat::kList:
    case AmiFormat::kCorner:
      return "is not in the list";
    case AmiFormat::kIncrement:
      return "is not on the increment";
    case AmiFormat::kSteps:
      return "is not on the steps";
    default:
      return "is not allowed";
  }
}

}  // namespace

bool fitsType(AmiType type, const std::string& text) {
  bool flag = false;
  double value = 0.0;
  long long whole = 0;
  switch (type) {
    case AmiType::kInteger:
      return readInteger(text, std::numeric_limits<long long>::min(),
                         std::numeric_limits<long long>::max(), whole);
    case AmiType::kBoolean:
      return readBoolean(text, flag);
    case AmiType::kString:
      return true;
    default:
      return readFinite(text, value);
  }
}

Status checkFormatValues(const AmiParameter& parameter) {
  const auto& v = parameter.values;
  if (!isNumeric(parameter.type) || v.size() < 3)
    return Status::Ok();
  const bool range = parameter.format == AmiFormat::kRange ||
                     parameter.format == AmiFormat::kIncrement ||
                     parameter.format == AmiFormat::kSteps;
  if (range && !(number(v[1]) <= number(v[2])))
    return Status::Error("min <= max, found " + v[1] + " > " + v[2]);
  if (parameter.format == AmiFormat::kIncrement && !(number(v[3]) > 0.0))
    return Status::Error("a positive increment, found " + v[3]);
  long long steps = 0;
  if (parameter.format == AmiFormat::kSteps && !readInteger(v[3], 1, 1 << 30, steps))
    return Status::Error("a positive whole number of steps, found " + v[3]);
  return Status::Ok();
}

bool allows(const AmiParameter& parameter, const std::string& text) {
  if (!fitsType(parameter.type, text))
    return false;
  const auto& v = parameter.values;
  const double x = isNumeric(parameter.type) ? number(text) : 0.0;
  switch (parameter.format) {
    case AmiFormat::kValue:
    case AmiFormat::kList:
    case AmiFormat::kCorner:
      return onList(parameter, text);
    case AmiFormat::kRange:
      return !isNumeric(parameter.type) || (x >= number(v[1]) && x <= number(v[2]));
    case AmiFormat::kIncrement:
      return onGrid(x, number(v[1]), number(v[3]),
                    std::floor((number(v[2]) - number(v[1])) / number(v[3]) + kGridTolerance));
    case AmiFormat::kSteps:
      return onGrid(x, number(v[1]), (number(v[2]) - number(v[1])) / number(v[3]), number(v[3]));
    default:
      return true;
  }
}

std::string allowedValues(const AmiParameter& parameter) {
  const auto& v = parameter.values;
  const auto w = [&](std::size_t i) { return writtenValue(parameter, v[i]); };
  switch (parameter.format) {
    case AmiFormat::kValue:
    case AmiFormat::kList:
    case AmiFormat::kCorner:
      return joined(parameter);
    case AmiFormat::kRange:
      return w(1) + " to " + w(2);
    case AmiFormat::kIncrement:
      return w(1) + " to " + w(2) + " in steps of " + w(3);
    case AmiFormat::kSteps:
      return w(1) + " to " + w(2) + " in " + v[3] + " steps";
    default:
      return parameter.type == AmiType::kBoolean ? "True or False"
                                                 : "any " + typeName(parameter.type);
  }
}

Status checkSetting(const AmiParameter& parameter, const std::string& text, std::string& written) {
  const std::string refused = parameter.name + " " + text + " ";
  const std::string allowed = "; allowed: " + allowedValues(parameter);
  if (!fitsType(parameter.type, text))
    return Status::Error(refused + "is not " +
                         (parameter.type == AmiType::kInteger ? "an " : "a ") +
                         typeName(parameter.type) + allowed);
  if (!allows(parameter, text))
    return Status::Error(refused + refusal(parameter) + allowed);
  written = writtenValue(parameter, text);
  return Status::Ok();
}

std::string writtenValue(const AmiParameter& parameter, const std::string& text) {
  if (parameter.type == AmiType::kString)
    return "\"" + text + "\"";
  if (parameter.type == AmiType::kInteger)
    return writtenInteger(text);
  if (isNumeric(parameter.type))
    return writtenNumber(number(text));
  return text;
}

}  // namespace norvask::host
