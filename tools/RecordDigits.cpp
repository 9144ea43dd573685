#include "tools/RecordDigits.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace norvask::tools {

double parseDecimal(const std::string& literal) {
  return std::strtod(literal.c_str(), nullptr);
}

std::string roundedText(double value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

double halfStepOfLastDigit(const char* reading, int digits) {
  const double magnitude = std::floor(std::log10(std::fabs(parseDecimal(reading))));
  return 0.5 * std::pow(10.0, magnitude - (digits - 1));
}

}  // namespace norvask::tools
