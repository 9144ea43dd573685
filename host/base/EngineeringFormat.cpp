#include "host/base/EngineeringFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace norvask::host {

namespace {

// Up to `digits` significant digits, no exponent for the magnitudes the
// prefixes leave (1 to 999.9), trailing zeros dropped.
std::string significant(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

}  // namespace

std::string withUnit(double value, const std::string& unit, int digits) {
  if (!std::isfinite(value))
    return kUndefinedText;
  static const char* const kPrefixes[] = {"f", "p", "n", "µ", "m", "", "k", "M", "G", "T"};
  constexpr int kNoPrefix = 5;
  int index = kNoPrefix;
  double mantissa = value;
  if (value != 0.0) {
    const int thousands = static_cast<int>(std::floor(std::log10(std::abs(value)) / 3.0));
    // Beyond the prefixes an exponent says more than "0.00003 fs".
    if (thousands < -kNoPrefix || thousands > 9 - kNoPrefix)
      return significant(value, digits) + " " + unit;
    index = kNoPrefix + thousands;
    mantissa = value / std::pow(1000.0, index - kNoPrefix);
    // Rounding to four digits may carry 999.95 up to the next prefix.
    if (std::abs(std::stod(significant(mantissa, digits))) >= 1000.0 && index < 9) {
      ++index;
      mantissa /= 1000.0;
    }
  }
  return significant(mantissa, digits) + " " + kPrefixes[index] + unit;
}

std::string seconds(double value) {
  return withUnit(value, "s");
}

std::string hertz(double value) {
  return withUnit(value, "Hz");
}

std::string bitRate(double value) {
  // Line rates are exact numbers (10.3125 Gb/s): every digit they have.
  return withUnit(value, "b/s", 7);
}

std::string volts(double value) {
  return withUnit(value, "V");
}

std::string plain(double value) {
  return std::isfinite(value) ? significant(value, 4) : kUndefinedText;
}

std::string count(double value) {
  if (!std::isfinite(value))
    return kUndefinedText;
  if (std::abs(value) >= 1e15)
    return significant(value, 4);
  char text[64];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

std::string decibels(double value) {
  if (!std::isfinite(value))
    return kUndefinedText;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f dB", value);
  return text;
}

std::string general(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string percent(double fraction) {
  return std::isfinite(fraction) ? significant(100.0 * fraction, 3) + " %" : kUndefinedText;
}

}  // namespace norvask::host
