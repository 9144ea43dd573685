#include "host/base/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "host/base/DecimalText.h"

namespace norvask::host {

bool readFinite(const std::string& text, double& value) {
  return readDecimal(text.data(), text.data() + text.size(), value) && std::isfinite(value);
}

bool looksLikeNumber(const std::string& text) {
  double ignored = 0.0;
  return readDecimal(text.data(), text.data() + text.size(), ignored);
}

bool readInteger(const std::string& text, long long low, long long high, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

}  // namespace norvask::host
