#include "host/kit/SweepAxes.h"

#include <cmath>
#include <cstdio>

#include "host/base/NumberText.h"
#include "host/kit/AmiValue.h"
#include "host/kit/ParameterString.h"

namespace norvask::host {

namespace {

// Grid points within this share of a step of the end still count.
constexpr double kGridTolerance = 1e-9;

// Below this every whole number is exact in a double.
constexpr double kWholeLimit = 9007199254740992.0;

Status tooMany(double points) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", points);
  return Status::Error(std::string(text) + " points; the limit is " +
                       std::to_string(kMaxSweepPoints));
}

// START + k * STEP for k = 0 .. count - 1, each at 12 digits so that
// 0.1 * 3 reads 0.3.
Status gridValues(double start, double step, double count, std::vector<std::string>& values) {
  if (count > static_cast<double>(kMaxSweepPoints))
    return tooMany(count);
  for (long k = 0; k < static_cast<long>(count); ++k) {
    const double value = start + static_cast<double>(k) * step;
    // Whole numbers in full, so that an integer parameter reads them back.
    const bool whole = std::floor(value) == value && std::fabs(value) < kWholeLimit;
    char text[40];
    std::snprintf(text, sizeof text, whole ? "%.0f" : "%.12g", value);
    values.push_back(text);
  }
  return Status::Ok();
}

double numberOf(const std::string& text) {
  double value = 0.0;
  readFinite(text, value);
  return value;
}

// Every value the parameter allows, when there are finitely many.
Status everyValue(const AmiParameter& p, std::vector<std::string>& values) {
  const auto& v = p.values;
  switch (p.format) {
    case AmiFormat::kValue:
    case AmiFormat::kList:
    case AmiFormat::kCorner:
      values = v;
      return Status::Ok();
    case AmiFormat::kIncrement:
      return gridValues(
          numberOf(v[1]), numberOf(v[3]),
          std::floor((numberOf(v[2]) - numberOf(v[1])) / numberOf(v[3]) + kGridTolerance) + 1.0,
          values);
    case AmiFormat::kSteps:
      return gridValues(numberOf(v[1]), (numberOf(v[2]) - numberOf(v[1])) / numberOf(v[3]),
                        numberOf(v[3]) + 1.0, values);
    case AmiFormat::kRange:
      if (p.type == AmiType::kInteger)
        return gridValues(numberOf(v[1]), 1.0, numberOf(v[2]) - numberOf(v[1]) + 1.0, values);
      break;
    default:
      if (p.type == AmiType::kBoolean) {
        values = {"False", "True"};
        return Status::Ok();
      }
  }
  return Status::Error(p.name + " (" + typeName(p.type) + ", allowed: " + allowedValues(p) +
                       ") needs its values: " + p.name + "=START:STOP:STEP or " + p.name +
                       "=a,b,c");
}

Status rangeValues(const std::string& text, std::vector<std::string>& values) {
  const auto first = text.find(':');
  const auto second = text.find(':', first + 1);
  double start = 0.0, stop = 0.0, step = 0.0;
  if (second == std::string::npos || !readFinite(text.substr(0, first), start) ||
      !readFinite(text.substr(first + 1, second - first - 1), stop) ||
      !readFinite(text.substr(second + 1), step) || !(step > 0.0) || !(start <= stop))
    return Status::Error("expected START:STOP:STEP with START <= STOP and STEP > 0, got '" + text +
                         "'");
  return gridValues(start, step, std::floor((stop - start) / step + kGridTolerance) + 1.0, values);
}

std::vector<std::string> listValues(const std::string& text) {
  std::vector<std::string> values;
  std::size_t start = 0;
  for (auto comma = text.find(',');; comma = text.find(',', start)) {
    values.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos)
      return values;
    start = comma + 1;
  }
}

}  // namespace

Status readSweepAxis(const AmiTree& tree, const std::string& spec, SweepAxis& axis) {
  const auto equals = spec.find('=');
  axis = SweepAxis{spec.substr(0, equals), {}};
  const AmiParameter* parameter = nullptr;
  if (Status found = lookUpSettable(tree, axis.name, parameter); !found.ok())
    return found;
  std::vector<std::string> values;
  const std::string given = equals == std::string::npos ? "" : spec.substr(equals + 1);
  Status listed = equals == std::string::npos ? everyValue(*parameter, values)
                  : given.find(':') != std::string::npos
                      ? rangeValues(given, values)
                      : (values = listValues(given), Status::Ok());
  if (!listed.ok())
    return listed;
  for (const std::string& value : values) {
    std::string written;
    if (Status checked = checkSetting(*parameter, value, written); !checked.ok())
      return checked;
    axis.values.push_back(written);
  }
  return Status::Ok();
}

Status readSweepAxes(const AmiTree& tree, const std::vector<std::string>& specs,
                     std::vector<SweepAxis>& axes) {
  axes.clear();
  double points = 1.0;
  for (const std::string& spec : specs) {
    SweepAxis axis;
    if (Status read = readSweepAxis(tree, spec, axis); !read.ok())
      return read.Within("--sweep " + spec);
    for (const SweepAxis& other : axes) {
      if (other.name == axis.name)
        return Status::Error("--sweep " + spec + ": " + axis.name + " is swept twice");
    }
    points *= static_cast<double>(axis.values.size());
    axes.push_back(axis);
  }
  if (points > static_cast<double>(kMaxSweepPoints))
    return tooMany(points).Within("--sweep");
  return Status::Ok();
}

}  // namespace norvask::host
